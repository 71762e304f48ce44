#include "kiroku/prepare/call_notation.h"

#include <gtest/gtest.h>

#include "hand_builder.h"

#include "kiroku/tile_code.h"

namespace kiroku {
namespace {

using testing::Entries;
using testing::events_of;
using testing::HandBuilder;
using testing::summaries;
using testing::tile;
using Lines = std::vector<std::string>;

std::expected<SeatLists, ConversionError> decode(std::uint8_t seat, Entries takes, Entries discards) {
  const HandBuilder hand = HandBuilder(6, 2).seat(seat, takes, discards);
  SeatLists lists;
  if (auto read = decode_seat_lists(hand.record().seats[seat], hand.record().id, seat, lists); !read) {
    return std::unexpected(read.error());
  }
  return lists;
}

Event take_of(std::uint8_t seat, const char* notation) {
  auto lists = decode(seat, {notation}, {});
  EXPECT_TRUE(lists.has_value()) << notation;
  return lists ? events_of(lists->takes, seat).at(0) : Event{};
}

// The events of the takes or the discards of `seat`, as summaries.
Lines takes_of(const SeatLists& lists, std::uint8_t seat) { return summaries(events_of(lists.takes, seat)); }
Lines discards_of(const SeatLists& lists, std::uint8_t seat) { return summaries(events_of(lists.discards, seat)); }

ConversionError error_of(std::uint8_t seat, Entries takes, Entries discards) {
  auto lists = decode(seat, takes, discards);
  EXPECT_FALSE(lists.has_value());
  return lists ? ConversionError{} : lists.error();
}

// --- Take list -------------------------------------------------------------

TEST(call_notation_test, chi_is_taken_from_the_seat_before) {
  EXPECT_EQ(take_of(2, "c131112"),
            Event(event::Chi{.actor = 2, .target = 1, .pai = tile(13), .consumed = {tile(11), tile(12)}}));
  EXPECT_EQ(take_of(0, "c131112"),
            Event(event::Chi{.actor = 0, .target = 3, .pai = tile(13), .consumed = {tile(11), tile(12)}}));
}

TEST(call_notation_test, pon_letter_position_names_the_seat_called_from) {
  EXPECT_EQ(take_of(0, "p252552"),
            Event(event::Pon{.actor = 0, .target = 3, .pai = tile(25), .consumed = {tile(25), tile(52)}}));
  EXPECT_EQ(take_of(0, "25p2552"),
            Event(event::Pon{.actor = 0, .target = 2, .pai = tile(25), .consumed = {tile(25), tile(52)}}));
  EXPECT_EQ(take_of(0, "2525p25"),
            Event(event::Pon{.actor = 0, .target = 1, .pai = tile(25), .consumed = {tile(25), tile(25)}}));
  // Red fives keep their place in the text; nothing is sorted or folded.
  EXPECT_EQ(take_of(3, "5225p25"),
            Event(event::Pon{.actor = 3, .target = 0, .pai = tile(25), .consumed = {tile(52), tile(25)}}));
}

TEST(call_notation_test, daiminkan_letter_position_names_the_seat_called_from) {
  EXPECT_EQ(
      take_of(3, "393939m39"),
      Event(event::Daiminkan{.actor = 3, .target = 0, .pai = tile(39), .consumed = {tile(39), tile(39), tile(39)}}));
  EXPECT_EQ(
      take_of(1, "m15151551"),
      Event(event::Daiminkan{.actor = 1, .target = 0, .pai = tile(15), .consumed = {tile(15), tile(15), tile(51)}}));
  EXPECT_EQ(
      take_of(1, "15m151551"),
      Event(event::Daiminkan{.actor = 1, .target = 3, .pai = tile(15), .consumed = {tile(15), tile(15), tile(51)}}));
}

TEST(call_notation_test, letters_decide_in_the_order_c_p_m) {
  // Read as a chi, whose fields 1, 3 and 5 must be tiles, wherever the "c"
  // stands; as a pon, "p" at 3 would have been refused as notation.
  auto error = error_of(1, {"c12p314"}, {});
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidTileCode);
  EXPECT_EQ(error.text, "p3");
  error = error_of(1, {"1p2c314"}, {});
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidTileCode);
  EXPECT_EQ(error.text, "p2");
  // "p" before "m": a daiminkan text with a "p" in it is a pon of the wrong length.
  error = error_of(1, {"3939m3p39"}, {});
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidNotation);
}

TEST(call_notation_test, malformed_take_text_is_invalid_notation) {
  for (const char* text :
       {"p1234", "1p23456", "k37373737", "", "123456", "c1311121", "3939m3939", "39393m939", "2525p2525"}) {
    auto error = error_of(0, {text}, {});
    EXPECT_EQ(error.kind, ConversionErrorKind::InvalidNotation) << text;
    EXPECT_EQ(error.text, text);
  }
}

TEST(call_notation_test, bad_tile_field_is_invalid_tile_code_holding_its_two_bytes) {
  auto error = error_of(2, {"c1x1213"}, {});
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidTileCode);
  EXPECT_EQ(error.text, "1x");
  // The claimed tile is read before the consumed ones.
  error = error_of(2, {"c13xx12"}, {});
  EXPECT_EQ(error.text, "xx");
  error = error_of(2, {"c601112"}, {});
  EXPECT_EQ(error.text, "60");
  // A "c" that does not lead leaves a letter in a tile field.
  error = error_of(2, {"1c31112"}, {});
  EXPECT_EQ(error.text, "c3");
  // Invalid UTF-8 is shown with a replacement character.
  error = error_of(2,
                   {"c1\xff"
                    "1112"},
                   {});
  EXPECT_EQ(error.text, "1\xEF\xBF\xBD");
}

TEST(call_notation_test, number_in_take_list_is_unexpected) {
  auto error = error_of(3, {11, 60}, {});
  EXPECT_EQ(error.kind, ConversionErrorKind::UnexpectedNumber);
  EXPECT_EQ(error.number, 60);
  EXPECT_EQ(error.seat, 3);
  EXPECT_EQ(error.hand.hand_index, 6);
  EXPECT_EQ(error.hand.honba, 2);
}

TEST(call_notation_test, take_list_is_read_before_discard_list) {
  auto error = error_of(0, {"p1"}, {"x"});
  EXPECT_EQ(error.text, "p1");
}

// --- Discard list ----------------------------------------------------------

TEST(call_notation_test, plain_discards) {
  auto lists = decode(1, {11, 12, 13}, {12, 60, 0});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 1), (Lines{"dahai 1 2m", "dahai 1 2m tsumogiri"}));  // the code 0 entry is dropped
}

TEST(call_notation_test, any_number_is_a_discard_of_the_drawn_tile) {
  auto lists = decode(1, {11, 12}, {60, 99});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 1), (Lines{"dahai 1 1m tsumogiri", "dahai 1 2m tsumogiri"}));
}

TEST(call_notation_test, riichi_declarations) {
  auto lists = decode(0, {11, 12, 13}, {"r60", "r37", "x37"});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 0),
            (Lines{"reach 0", "dahai 0 1m tsumogiri", "reach 0", "dahai 0 7s", "reach 0", "dahai 0 7s"}));
  // "00" names the placeholder too, so it is a discard of the drawn tile.
  lists = decode(0, {15}, {"r00"});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 0), (Lines{"reach 0", "dahai 0 5m tsumogiri"}));
}

TEST(call_notation_test, kakan_letter_position_selects_the_added_tile) {
  auto lists = decode(2, {}, {"k37373737", "3737k3737", "3753k3737"});
  ASSERT_TRUE(lists);
  const std::vector<Event> kakans = events_of(lists->discards, 2);
  EXPECT_EQ(kakans.at(0), Event(event::Kakan{.actor = 2, .pai = tile(37), .consumed = {tile(37), tile(37), tile(37)}}));
  EXPECT_EQ(kakans.at(1), Event(event::Kakan{.actor = 2, .pai = tile(37), .consumed = {tile(37), tile(37), tile(37)}}));
  EXPECT_EQ(kakans.at(2), Event(event::Kakan{.actor = 2, .pai = tile(37), .consumed = {tile(37), tile(53), tile(37)}}));
  EXPECT_EQ(lists->discards.size(), 3U);
}

TEST(call_notation_test, ankan_reads_four_fields_around_the_letter) {
  auto lists = decode(1, {}, {"424242a42", "151551a15"});
  ASSERT_TRUE(lists);
  const std::vector<Event> ankans = events_of(lists->discards, 1);
  EXPECT_EQ(ankans.at(0), Event(event::Ankan{.actor = 1, .consumed = {tile(42), tile(42), tile(42), tile(42)}}));
  EXPECT_EQ(ankans.at(1), Event(event::Ankan{.actor = 1, .consumed = {tile(15), tile(15), tile(51), tile(15)}}));

  auto error = error_of(1, {}, {"a42424242"});
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidTileCode);
  EXPECT_EQ(error.text, "a4");
  // The field after the letter is read first.
  error = error_of(1, {}, {"x24242a9x"});
  EXPECT_EQ(error.text, "9x");
}

TEST(call_notation_test, malformed_discard_text_is_invalid_notation) {
  for (const char* text : {"", "r6", "r600", "373737k37", "37373737k", "k3737373", "42424242a4", "1k"}) {
    auto error = error_of(0, {}, {text});
    EXPECT_EQ(error.kind, ConversionErrorKind::InvalidNotation) << text;
    EXPECT_EQ(error.text, text);
  }
  auto error = error_of(0, {}, {"r5x"});
  EXPECT_EQ(error.kind, ConversionErrorKind::InvalidTileCode);
  EXPECT_EQ(error.text, "5x");
}

// --- Pairing takes with discards -------------------------------------------

TEST(call_notation_test, placeholder_after_daiminkan_is_dropped) {
  auto lists = decode(0, {15, "39m393939", 21}, {60, 0, 60});
  ASSERT_TRUE(lists);
  EXPECT_EQ(takes_of(*lists, 0), (Lines{"tsumo 0 5m", "daiminkan 0 from 2 9s [9s 9s 9s]", "tsumo 0 1p"}));
  EXPECT_EQ(discards_of(*lists, 0), (Lines{"dahai 0 5m tsumogiri", "dahai 0 1p tsumogiri"}));
}

TEST(call_notation_test, discard_after_a_call_keeps_the_placeholder) {
  // A tsumogiri right after a chi has no drawn tile to take.
  auto lists = decode(1, {"c121113", 14}, {60, 60});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 1), (Lines{"dahai 1 ? tsumogiri", "dahai 1 4m tsumogiri"}));
}

TEST(call_notation_test, riichi_discard_and_kans_each_pair_with_one_take) {
  // Draw 1m: ankan; draw 2m: riichi on it; draw 3m: kakan; draw 4m: discard.
  auto lists = decode(0, {11, 12, 13, 14}, {"424242a42", "r60", "k46464646", 60});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 0), (Lines{"ankan 0 [S S S S]", "reach 0", "dahai 0 2m tsumogiri", "kakan 0 F [F F F]",
                                           "dahai 0 4m tsumogiri"}));
}

TEST(call_notation_test, entries_past_either_list_end_are_left_alone) {
  // The last draw wins: it pairs with nothing.
  auto lists = decode(2, {11, 12}, {60});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 2), (Lines{"dahai 2 1m tsumogiri"}));
  // Discards past the last take keep their placeholder.
  lists = decode(2, {11}, {60, 60, 0});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 2), (Lines{"dahai 2 1m tsumogiri", "dahai 2 ? tsumogiri", "dahai 2 ?"}));
}

TEST(call_notation_test, consecutive_placeholders_shift_the_pairing) {
  // Two daiminkan placeholders in a row: each removal lets the next take
  // meet the entry that moved up.
  auto lists = decode(0, {"39m393939", "m41414141", 21}, {0, 0, 60});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 0), (Lines{"dahai 0 1p tsumogiri"}));
  lists = decode(0, {"39m393939", 21, 22}, {0, 60, 60});
  ASSERT_TRUE(lists);
  EXPECT_EQ(discards_of(*lists, 0), (Lines{"dahai 0 1p tsumogiri", "dahai 0 2p tsumogiri"}));
}

TEST(call_notation_test, empty_seat_gives_empty_lists) {
  auto lists = decode(3, {}, {});
  ASSERT_TRUE(lists);
  EXPECT_TRUE(lists->takes.empty());
  EXPECT_TRUE(lists->discards.empty());
}

TEST(call_notation_test, buffers_are_replaced_not_appended_to) {
  const HandBuilder first = HandBuilder().seat(0, {11, 12}, {60, 60});
  const HandBuilder second = HandBuilder().seat(0, {13}, {60});
  SeatLists lists;
  ASSERT_TRUE(decode_seat_lists(first.record().seats[0], first.record().id, 0, lists));
  ASSERT_TRUE(decode_seat_lists(second.record().seats[0], second.record().id, 0, lists));
  EXPECT_EQ(takes_of(lists, 0), (Lines{"tsumo 0 3m"}));
  EXPECT_EQ(discards_of(lists, 0), (Lines{"dahai 0 3m tsumogiri"}));
}

}  // namespace
}  // namespace kiroku
