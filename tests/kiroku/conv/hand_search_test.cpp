#include "kiroku/conv/hand_search.h"

#include <gtest/gtest.h>

#include "crafted_hands.h"
#include "hand_builder.h"
#include "kiroku/conv/converter.h"

namespace kiroku::conv {
namespace {

using testing::convert_log;
using testing::ListedTestHand;
using testing::log_of;
using testing::play_of;
using testing::tile;
using Lines = std::vector<std::string>;

// Which answers an attempt that meets `decisions` real choices gives.
std::vector<bool> attempt(AnswerScript& script, std::size_t decisions) {
  script.rewind();
  std::vector<bool> given;
  for (std::size_t i = 0; i < decisions; ++i) given.push_back(script.call_now(tile(21), false));
  return given;
}

TEST(hand_search_test, script_walks_the_answers_depth_first_call_now_first) {
  AnswerScript script;
  using V = std::vector<bool>;
  EXPECT_EQ(attempt(script, 2), (V{true, true}));
  ASSERT_TRUE(script.advance());
  EXPECT_EQ(attempt(script, 2), (V{true, false}));
  ASSERT_TRUE(script.advance());
  // A different path may meet more choices; the new ones start with "now".
  EXPECT_EQ(attempt(script, 3), (V{false, true, true}));
  ASSERT_TRUE(script.advance());
  EXPECT_EQ(attempt(script, 3), (V{false, true, false}));
  ASSERT_TRUE(script.advance());
  EXPECT_EQ(attempt(script, 2), (V{false, false}));
  EXPECT_FALSE(script.advance());
}

TEST(hand_search_test, script_does_not_branch_where_the_answer_cannot_matter) {
  AnswerScript script;
  script.rewind();
  EXPECT_TRUE(script.call_now(tile(21), true));
  EXPECT_TRUE(script.answers().empty());
  EXPECT_FALSE(script.advance());
}

TEST(hand_search_test, retry_rule_refuses_a_hand_needing_different_answers_per_tile) {
  // The memory's attempts: (now, now), (later, later), (later, later); then
  // it is empty again and the rule gives up.
  const ListedTestHand hand(testing::two_tile_hand());
  CallMemory memory;
  std::vector<Event> events;
  int attempts = 0;
  do {
    ++attempts;
    ASSERT_FALSE(walk_hand(hand.listed(), memory, events)) << "attempt " << attempts;
  } while (!memory.empty() && attempts < 10);
  EXPECT_EQ(attempts, 3);
  EXPECT_TRUE(events.empty());
}

TEST(hand_search_test, search_finds_what_the_retry_rule_cannot) {
  const ListedTestHand hand(testing::two_tile_hand());
  std::vector<Event> events;
  const SearchResult result = search_hand(hand.listed(), events, kMaxAttempts);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.attempts, 3U);  // (now, now), (now, later), (later, now)
  const Lines game{"tsumo 0 1m",
                   "dahai 0 1m tsumogiri",
                   "tsumo 1 2m",
                   "dahai 1 1p",
                   "tsumo 2 3m",
                   "dahai 2 3m tsumogiri",
                   "pon 1 from 2 3m [3m 3m]",
                   "dahai 1 1p",
                   "pon 0 from 1 1p [1p 1p]",
                   "dahai 0 9s",
                   "pon 3 from 0 9s [9s 9s]",
                   "dahai 3 P",
                   "tsumo 0 4m",
                   "dahai 0 9s",
                   "tsumo 1 5m",
                   "dahai 1 5m tsumogiri",
                   "tsumo 2 6m",
                   "dahai 2 6m tsumogiri",
                   "tsumo 3 7m",
                   "dahai 3 7m tsumogiri",
                   "ryukyoku"};
  EXPECT_EQ(play_of(events), game);

  ConversionStats stats;
  auto converted = convert_log(log_of({hand.builder()}), &stats);
  ASSERT_TRUE(converted) << describe(converted.error());
  EXPECT_EQ(play_of(*converted), game);
  EXPECT_EQ(stats.hands_retried, 1U);
  EXPECT_EQ(stats.hands_searched, 1U);
}

TEST(hand_search_test, hands_the_retry_rule_converts_are_not_searched) {
  // Two rounds: the memory's second attempt answers "later" twice and wins.
  ConversionStats stats;
  auto converted = convert_log(log_of({testing::caterpillar_hand(2)}), &stats);
  ASSERT_TRUE(converted) << describe(converted.error());
  EXPECT_EQ(stats.hands_retried, 1U);
  EXPECT_EQ(stats.hands_searched, 0U);
}

TEST(hand_search_test, search_stops_at_its_bound) {
  // Each round adds one attempt: the game is the last combination tried.
  const ListedTestHand hand(testing::caterpillar_hand(30));
  std::vector<Event> events{event::StartGame{}};
  SearchResult result = search_hand(hand.listed(), events, 30);
  EXPECT_FALSE(result.found);
  EXPECT_EQ(result.attempts, 30U);
  EXPECT_EQ(events.size(), 1U);
  result = search_hand(hand.listed(), events, 31);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.attempts, 31U);
  EXPECT_EQ(play_of(events).back(), "ryukyoku");

  ConversionStats stats;
  ASSERT_TRUE(convert_log(log_of({hand.builder()}), &stats));
  EXPECT_EQ(stats.hands_searched, 1U);
}

TEST(hand_search_test, hand_past_the_bound_fails_with_its_first_error) {
  // 2,000 rounds of four entries each: the bound for so long a hand is five
  // million entries' worth, some 600 attempts, far short of the 2,001 the
  // game needs.
  const ListedTestHand hand(testing::caterpillar_hand(2000, false));
  EXPECT_LT(attempt_bound(hand.play()), 2001U);
  ConversionStats stats;
  auto converted = convert_log(log_of({hand.builder()}), &stats);
  ASSERT_FALSE(converted);
  // The first attempt calls at the first 1p; seat 3 then has nothing to take.
  EXPECT_EQ(converted.error().kind, ConversionErrorKind::TakesExhausted);
  EXPECT_EQ(converted.error().seat, 3);
  EXPECT_EQ(stats.hands_searched, 1U);

  // With room enough, the same search gets there.
  std::vector<Event> events;
  const SearchResult result = search_hand(hand.listed(), events, 2001);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.attempts, 2001U);
}

}  // namespace
}  // namespace kiroku::conv
