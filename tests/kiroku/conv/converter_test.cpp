#include "kiroku/conv/converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "crafted_hands.h"
#include "hand_builder.h"
#include "kiroku/conv/order_finding.h"
#include "kiroku/io/padded_text.h"
#include "kiroku/pipeline.h"
#include "kiroku/read/json_reader.h"

namespace kiroku::conv {
namespace {

using testing::convert_log;
using testing::HandBuilder;
using testing::ListedTestHand;
using testing::log_of;
using testing::play_of;
using testing::summaries;
using testing::TestLog;
using Lines = std::vector<std::string>;

ConversionError error_of(const TestLog& log, ConversionStats* stats = nullptr) {
  auto events = convert_log(log, stats);
  EXPECT_FALSE(events.has_value());
  return events ? ConversionError{} : events.error();
}

// --- Game frame ---------------------------------------------------------

TEST(converter_test, log_without_hands_is_start_and_end_of_game) {
  TestLog log = log_of(std::vector<HandBuilder>{});
  log.game.aka_flag = true;
  log.game.kyoku_first = 4;
  auto events = convert_log(log);
  ASSERT_TRUE(events);
  EXPECT_EQ(*events,
            (std::vector<Event>{event::StartGame{.names = {"A", "B", "C", "D"}, .kyoku_first = 4, .aka_flag = true},
                                event::EndGame{}}));
}

TEST(converter_test, hands_follow_each_other_in_log_order) {
  auto events = convert_log(log_of({HandBuilder(0).seat(0, {11}, {}), HandBuilder(1, 1).seat(1, {12}, {})}));
  ASSERT_TRUE(events);
  EXPECT_EQ(summaries(*events), (Lines{"start_game", "start_kyoku", "tsumo 0 1m", "ryukyoku", "end_kyoku",
                                       "start_kyoku", "tsumo 1 2m", "ryukyoku", "end_kyoku", "end_game"}));
}

TEST(converter_test, failing_hand_fails_the_whole_log) {
  ConversionStats stats;
  const ConversionError error = error_of(log_of({HandBuilder(0).seat(0, {11}, {}), HandBuilder(1).seat(1, {12}, {}),
                                                 HandBuilder(2).seat(2, {13}, {}).dora({})}),
                                         &stats);
  EXPECT_EQ(error.kind, ConversionErrorKind::NoDoraMarker);
  EXPECT_EQ(error.hand_position, 2U);
  EXPECT_EQ(error.hand.hand_index, 2);
  EXPECT_EQ(stats.hands, 2U);
}

TEST(converter_test, decoding_error_ends_the_conversion_with_its_place) {
  ConversionStats stats;
  const ConversionError error = error_of(
      log_of({HandBuilder(0).seat(0, {11}, {}), HandBuilder(4, 3).seat(0, {11}, {}).seat(3, {}, {"r6"})}), &stats);
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidNotation);
  EXPECT_EQ(error.hand_position, 1U);
  EXPECT_EQ(error.hand.hand_index, 4);
  EXPECT_EQ(error.hand.honba, 3);
  EXPECT_EQ(error.seat, 3);
  EXPECT_EQ(describe(error), "hand 4 (honba 3), seat 3: invalid call notation \"r6\"");
  EXPECT_EQ(stats.hands_retried, 0U);
}

TEST(converter_test, decoding_runs_seat_by_seat_and_stops_at_the_first_error) {
  // Seat 2's take list would be refused too, but seat 1 comes first.
  const ConversionError error = error_of(log_of({HandBuilder().seat(2, {60}, {}).seat(1, {11}, {"r6"})}));
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidNotation);
  EXPECT_EQ(error.seat, 1);
}

TEST(converter_test, stats_are_overwritten) {
  ConversionStats stats{.hands = 7, .hands_retried = 7, .hands_searched = 7};
  ASSERT_TRUE(convert_log(log_of({HandBuilder().seat(0, {11}, {})}), &stats));
  EXPECT_EQ(stats.hands, 1U);
  EXPECT_EQ(stats.hands_retried, 0U);
  EXPECT_EQ(stats.hands_searched, 0U);
}

// --- Retry of a hand ------------------------------------------------------

TEST(converter_test, wrong_guess_into_a_dead_end_is_retried) {
  // The first attempt gives seat 0's pon to the first 3s and then ends the
  // hand on seat 1's missing discard with seats 2 and 3 unread; that is a
  // failure, so the second attempt runs and leaves the call for later.
  const ListedTestHand hand(testing::dead_end_hand());
  ConversionStats stats;
  auto events = convert_log(log_of({hand.builder()}), &stats);
  ASSERT_TRUE(events) << describe(events.error());
  EXPECT_EQ(play_of(*events),
            (Lines{"tsumo 0 1m", "dahai 0 1m tsumogiri", "tsumo 1 2m", "dahai 1 2m tsumogiri", "tsumo 2 3m",
                   "dahai 2 3s", "tsumo 3 9p", "dahai 3 9p tsumogiri", "pon 2 from 3 9p [9p 9p]", "dahai 2 3s",
                   "pon 0 from 2 3s [3s 3s]", "dahai 0 4s", "tsumo 1 5s", "hora 1 from 1"}));
  // Nothing of the failed attempt is left.
  EXPECT_EQ(events->size(), 2U + 1U + 14U + 1U);
  EXPECT_EQ(stats.hands, 1U);
  EXPECT_EQ(stats.hands_retried, 1U);
  EXPECT_EQ(stats.hands_searched, 0U);

  // The first attempt alone: what the hand would have been without the
  // check that every list is read.
  CallMemory memory;
  std::vector<Event> first;
  auto walked = walk_hand(hand.listed(), memory, first);
  ASSERT_FALSE(walked);
  EXPECT_EQ(walked.error().kind, ConversionErrorKind::UnreadEntries);
  EXPECT_EQ(walked.error().seat, 2);
}

TEST(converter_test, reported_error_is_the_first_attempts) {
  // As the dead end, but seat 3 holds a pon that fits nothing: the first
  // attempt ends with UnreadEntries, the next two with MismatchedCall.
  HandBuilder hand = testing::dead_end_hand();
  hand.record().seats[3] = HandBuilder().seat(3, {"p111111"}, {60}).record().seats[3];
  ConversionStats stats;
  const ConversionError error = error_of(log_of({hand}), &stats);
  EXPECT_EQ(error.kind, ConversionErrorKind::UnreadEntries);
  EXPECT_EQ(error.seat, 2);
  EXPECT_EQ(stats.hands_retried, 1U);
  EXPECT_EQ(stats.hands_searched, 1U);  // which finds nothing either
  EXPECT_EQ(stats.hands, 0U);
}

TEST(converter_test, failure_without_an_ambiguous_call_is_not_retried) {
  ConversionStats stats;
  const ConversionError error = error_of(log_of({HandBuilder().seat(0, {11}, {60}).seat(1, {"2121p21"}, {})}), &stats);
  EXPECT_EQ(error.kind, ConversionErrorKind::MismatchedCall);
  EXPECT_EQ(stats.hands_retried, 0U);
  EXPECT_EQ(stats.hands_searched, 0U);
}

TEST(converter_test, cycling_retries_stop_at_a_repeated_memory) {
  const ListedTestHand hand(testing::cycling_hand());
  // The cycle itself: the second attempt starts and ends with 1p taken.
  CallMemory memory;
  std::vector<Event> events;
  ASSERT_FALSE(walk_hand(hand.listed(), memory, events));
  const CallMemory::Key after_first = memory.key();
  EXPECT_FALSE(memory.empty());
  ASSERT_FALSE(walk_hand(hand.listed(), memory, events));
  EXPECT_EQ(memory.key(), after_first);

  // The converter ends it and reports the first attempt's error.
  ConversionStats stats;
  const ConversionError error = error_of(log_of({hand.builder()}), &stats);
  EXPECT_EQ(error.kind, ConversionErrorKind::TakesExhausted);
  EXPECT_EQ(error.seat, 3);
  EXPECT_EQ(stats.hands_retried, 1U);
  EXPECT_EQ(stats.hands_searched, 1U);
}

TEST(converter_test, output_is_the_same_on_every_call) {
  const TestLog log = log_of({testing::dead_end_hand(), testing::two_tile_hand(), testing::caterpillar_hand(5)});
  auto first = convert_log(log);
  auto second = convert_log(log);
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_EQ(*first, *second);
}

// --- Real games -----------------------------------------------------------

TEST(converter_test, every_four_player_game_of_the_corpus_converts) {
  const std::filesystem::path corpus(KIROKU_CORPUS_DIR);
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::size_t games = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".json") continue;  // sanma/ is a folder of its own
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    ConversionStats stats;
    auto encoded = convert_text(PaddedText::copy_of(text.str()), &stats);
    EXPECT_TRUE(encoded.has_value()) << entry.path().filename() << ": "
                                     << (encoded ? "" : kiroku::describe(encoded.error()));
    EXPECT_EQ(stats.hands_searched, 0U) << entry.path().filename();
    ++games;
  }
  EXPECT_EQ(games, 34U);
}

TEST(converter_test, four_riichi_draw_of_the_corpus_accepts_the_fourth_riichi) {
  const std::filesystem::path path = std::filesystem::path(KIROKU_CORPUS_DIR) / "pantheon-4.json";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  auto read = read_json_log(PaddedText::copy_of(text.str()));
  ASSERT_TRUE(read);
  const auto log = log_of(std::move(*read));
  ASSERT_TRUE(log);
  auto events = convert_log(*log);
  ASSERT_TRUE(events);

  // East 4, honba 2 ends in "四家立直" on seat 1's riichi, made on a draw
  // of 2s; the next hand opens with all four sticks on the table.
  const auto start = std::find_if(events->begin(), events->end(), [](const Event& e) {
    const auto* s = std::get_if<event::StartKyoku>(&e);
    return s != nullptr && s->kyoku == 4 && s->honba == 2;
  });
  ASSERT_NE(start, events->end());
  const auto end =
      std::find_if(start, events->end(), [](const Event& e) { return std::holds_alternative<event::EndKyoku>(e); });
  ASSERT_GE(end - start, 5);
  EXPECT_EQ(summaries({end - 4, end}), (Lines{"reach 1", "dahai 1 2s tsumogiri", "reach_accepted 1", "ryukyoku"}));
  EXPECT_EQ(std::count_if(start, end, [](const Event& e) { return std::holds_alternative<event::ReachAccepted>(e); }),
            4);
  const auto& next = std::get<event::StartKyoku>(*std::next(end));
  EXPECT_EQ(next.kyotaku, 4);
}

}  // namespace
}  // namespace kiroku::conv
