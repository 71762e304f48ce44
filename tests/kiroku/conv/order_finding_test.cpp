#include "kiroku/conv/order_finding.h"

#include <gtest/gtest.h>

#include "hand_builder.h"

namespace kiroku::conv {
namespace {

using testing::HandBuilder;
using testing::play_of;
using testing::summaries;
using testing::tile;
using Lines = std::vector<std::string>;

std::expected<std::vector<Event>, ConversionError> walk(const PreparedHand& hand, std::vector<Event> events = {}) {
  const ListedPlay& play = std::get<ListedPlay>(hand.play);
  DahaiCounts counts;
  count_dahai(play, counts);
  CallMemory memory;
  if (auto walked = walk_hand(ListedHand{hand, play, counts}, memory, events); !walked) {
    return std::unexpected(walked.error());
  }
  return events;
}

Lines play(const PreparedHand& hand) {
  auto events = walk(hand);
  EXPECT_TRUE(events.has_value()) << (events ? "" : describe(events.error()));
  return events ? play_of(*events) : Lines{};
}

ConversionError failure(const PreparedHand& hand) {
  auto events = walk(hand);
  EXPECT_FALSE(events.has_value());
  return events ? ConversionError{} : events.error();
}

// --- Start and end of a hand ----------------------------------------------

TEST(order_finding_test, attempt_opens_with_start_kyoku_and_closes_with_end_kyoku) {
  PreparedHand hand = HandBuilder(5, 2).seat(1, {11}, {}).dora({21, 22});
  hand.id.deposits = 3;
  hand.scores = {1, -2, 3, 4};
  auto events = walk(hand);
  ASSERT_TRUE(events);
  EXPECT_EQ(summaries(*events), (Lines{"start_kyoku", "tsumo 1 1m", "ryukyoku", "end_kyoku"}));
  const auto& start = std::get<event::StartKyoku>(events->front());
  EXPECT_EQ(start.bakaze, tile(42));
  EXPECT_EQ(start.dora_marker, tile(21));
  EXPECT_EQ(start.kyoku, 2);
  EXPECT_EQ(start.honba, 2);
  EXPECT_EQ(start.kyotaku, 3);
  EXPECT_EQ(start.oya, 1);
  EXPECT_EQ(start.scores, hand.scores);
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) EXPECT_EQ(start.tehais[seat], hand.starting_hands[seat]);
}

TEST(order_finding_test, prevailing_wind_and_dealer_follow_the_hand_index) {
  struct Case {
    std::uint8_t index;
    int wind_code;
    std::uint8_t kyoku;
    std::uint8_t oya;
  };
  for (Case c : {Case{0, 41, 1, 0}, Case{5, 42, 2, 1}, Case{11, 43, 4, 3}, Case{13, 44, 2, 1}, Case{200, 44, 1, 0},
                 Case{255, 44, 4, 3}}) {
    const PreparedHand hand = HandBuilder(c.index).seat(c.oya, {11}, {});
    auto events = walk(hand);
    ASSERT_TRUE(events) << int{c.index};
    const auto& start = std::get<event::StartKyoku>(events->front());
    EXPECT_EQ(start.bakaze, tile(c.wind_code)) << int{c.index};
    EXPECT_EQ(start.kyoku, c.kyoku) << int{c.index};
    EXPECT_EQ(start.oya, c.oya) << int{c.index};
  }
}

TEST(order_finding_test, nine_terminals_abort_ends_on_the_dealers_draw) {
  EXPECT_EQ(play(HandBuilder().seat(0, {11}, {})), (Lines{"tsumo 0 1m", "ryukyoku"}));
}

TEST(order_finding_test, exhaustive_draw_ends_after_the_last_discard) {
  PreparedHand hand = HandBuilder()
                          .seat(0, {11, 15}, {60, 60})
                          .seat(1, {12, 16}, {60, 60})
                          .seat(2, {13, 17}, {60, 60})
                          .seat(3, {14, 18}, {60, 19})
                          .draw({1500, -1500, 1500, -1500});
  auto events = walk(hand);
  ASSERT_TRUE(events);
  EXPECT_EQ(play_of(*events), (Lines{"tsumo 0 1m", "dahai 0 1m tsumogiri", "tsumo 1 2m", "dahai 1 2m tsumogiri",
                                     "tsumo 2 3m", "dahai 2 3m tsumogiri", "tsumo 3 4m", "dahai 3 4m tsumogiri",
                                     "tsumo 0 5m", "dahai 0 5m tsumogiri", "tsumo 1 6m", "dahai 1 6m tsumogiri",
                                     "tsumo 2 7m", "dahai 2 7m tsumogiri", "tsumo 3 8m", "dahai 3 9m", "ryukyoku"}));
  EXPECT_EQ(events->at(events->size() - 2), Event(event::Ryukyoku{.deltas = Scores{1500, -1500, 1500, -1500}}));
}

TEST(order_finding_test, double_ron_writes_both_wins_in_log_order) {
  PreparedHand hand =
      HandBuilder().seat(0, {11}, {60}).ura({45}).win(3, 0, {-8000, 0, 0, 8000}).win(1, 0, {-1000, 1000, 0, 0});
  auto events = walk(hand);
  ASSERT_TRUE(events);
  EXPECT_EQ(play_of(*events), (Lines{"tsumo 0 1m", "dahai 0 1m tsumogiri", "hora 3 from 0", "hora 1 from 0"}));
  const std::vector<Tile> ura{tile(45)};
  EXPECT_EQ(events->at(3),
            Event(event::Hora{.actor = 3, .target = 0, .deltas = Scores{-8000, 0, 0, 8000}, .ura_markers = ura}));
  EXPECT_EQ(events->at(4),
            Event(event::Hora{.actor = 1, .target = 0, .deltas = Scores{-1000, 1000, 0, 0}, .ura_markers = ura}));
}

TEST(order_finding_test, calls_are_written_as_decoded) {
  // Chi from the seat before, pon from across, both of the discard just made.
  const PreparedHand hand = HandBuilder().seat(0, {11}, {13}).seat(1, {"c131214"}, {45}).seat(3, {"45p4545"}, {46});
  EXPECT_EQ(play(hand), (Lines{"tsumo 0 1m", "dahai 0 3m", "chi 1 from 0 3m [2m 4m]", "dahai 1 P",
                               "pon 3 from 1 P [P P]", "dahai 3 F", "ryukyoku"}));
}

// --- Failures ----------------------------------------------------------------

TEST(order_finding_test, kan_without_an_indicator_left_fails) {
  EXPECT_EQ(failure(HandBuilder().seat(0, {11, 12}, {"424242a42", 60}).dora({41})).kind,
            ConversionErrorKind::NoDoraMarker);
  EXPECT_EQ(failure(HandBuilder().seat(0, {11, 12}, {"k11111111", 60}).dora({41})).kind,
            ConversionErrorKind::NoDoraMarker);
}

TEST(order_finding_test, dealer_without_takes_fails_at_once) {
  const ConversionError error = failure(HandBuilder(1).seat(0, {11}, {60}));
  EXPECT_EQ(error.kind, ConversionErrorKind::TakesExhausted);
  EXPECT_EQ(error.seat, 1);
}

TEST(order_finding_test, daiminkan_without_a_replacement_draw_fails) {
  const ConversionError error = failure(HandBuilder().seat(0, {11}, {60}).seat(2, {"11m111111"}, {0}).dora({41, 42}));
  EXPECT_EQ(error.kind, ConversionErrorKind::TakesExhausted);
  EXPECT_EQ(error.seat, 2);
}

TEST(order_finding_test, call_of_another_tile_or_seat_is_mismatched) {
  ConversionError error = failure(HandBuilder().seat(0, {11}, {60}).seat(1, {"2121p21"}, {}));
  EXPECT_EQ(error.kind, ConversionErrorKind::MismatchedCall);
  EXPECT_EQ(error.seat, 1);
  EXPECT_TRUE(error.discard_seen);
  EXPECT_EQ(error.previous_discarder, 0);
  EXPECT_EQ(error.last_tile, tile(11));
  EXPECT_EQ(error.call, Event(event::Pon{.actor = 1, .target = 2, .pai = tile(21), .consumed = {tile(21), tile(21)}}));

  // Right tile, wrong seat.
  error = failure(HandBuilder().seat(0, {11}, {60}).seat(1, {"1111p11"}, {}));
  EXPECT_EQ(error.kind, ConversionErrorKind::MismatchedCall);
  EXPECT_EQ(error.seat, 1);
  EXPECT_EQ(error.last_tile, tile(11));
}

TEST(order_finding_test, call_before_any_discard_is_checked_against_the_tile_only) {
  ConversionError error = failure(HandBuilder().seat(0, {"p111111"}, {60}));
  EXPECT_EQ(error.kind, ConversionErrorKind::MismatchedCall);
  EXPECT_FALSE(error.discard_seen);
  EXPECT_EQ(error.last_tile, Tile());
  // The walk starts from the placeholder, so a call of "?" fits.
  EXPECT_EQ(play(HandBuilder().seat(0, {"p000000"}, {11})), (Lines{"pon 0 from 3 ? [? ?]", "dahai 0 1m", "ryukyoku"}));
}

TEST(order_finding_test, hand_ending_on_a_missing_discard_with_entries_unread_fails) {
  // Seat 0 has nothing to discard, so the hand would end here, but seat 2
  // still has a draw to make.
  ConversionError error = failure(HandBuilder().seat(0, {11}, {}).seat(2, {12}, {}));
  EXPECT_EQ(error.kind, ConversionErrorKind::UnreadEntries);
  EXPECT_EQ(error.seat, 2);
  // A discard entry left over counts as well; the first such seat is named.
  error = failure(HandBuilder().seat(0, {11}, {}).seat(3, {}, {12}).seat(1, {}, {13}));
  EXPECT_EQ(error.kind, ConversionErrorKind::UnreadEntries);
  EXPECT_EQ(error.seat, 1);
}

TEST(order_finding_test, hand_ending_with_every_take_read_and_discards_unread_fails) {
  ConversionError error = failure(HandBuilder().seat(0, {11}, {60}).seat(2, {}, {12}));
  EXPECT_EQ(error.kind, ConversionErrorKind::UnreadEntries);
  EXPECT_EQ(error.seat, 2);
  // The discarder's own list counts too.
  error = failure(HandBuilder().seat(0, {11}, {60, 12}));
  EXPECT_EQ(error.kind, ConversionErrorKind::UnreadEntries);
  EXPECT_EQ(error.seat, 0);
}

TEST(order_finding_test, failed_attempt_leaves_the_event_list_as_it_was) {
  std::vector<Event> events{event::StartGame{}, event::EndKyoku{}};
  const std::vector<Event> before = events;
  const testing::ListedTestHand hand(HandBuilder().seat(0, {11}, {60}).seat(1, {12}, {60, 13}));
  CallMemory memory;
  auto walked = walk_hand(hand.listed(), memory, events);
  ASSERT_FALSE(walked);
  EXPECT_EQ(events, before);

  const testing::ListedTestHand good(HandBuilder().seat(0, {11}, {}));
  ASSERT_TRUE(walk_hand(good.listed(), memory, events));
  EXPECT_EQ(summaries(events),
            (Lines{"start_game", "end_kyoku", "start_kyoku", "tsumo 0 1m", "ryukyoku", "end_kyoku"}));
}

TEST(order_finding_test, attempt_bound_shrinks_only_for_huge_hands) {
  ListedPlay play;
  EXPECT_EQ(attempt_bound(play), kMaxAttempts);
  play.seats[0].takes.resize(300);
  EXPECT_EQ(attempt_bound(play), kMaxAttempts);
  play.seats[1].discards.resize(100'000);
  EXPECT_EQ(attempt_bound(play), kMaxEntriesWalked / 100'300);
}

}  // namespace
}  // namespace kiroku::conv
