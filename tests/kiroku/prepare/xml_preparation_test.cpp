#include "kiroku/prepare/xml_preparation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kiroku/encode/event_encoder.h"
#include "kiroku/tile_code.h"

namespace kiroku {
namespace {

Tile t(std::uint8_t code) { return *tile_from_code(code); }

XmlGame game_of_type(std::uint16_t game_type) {
  XmlGame game;
  game.game_type = game_type;
  game.names = {"a", "b", "c", "d"};
  return game;
}

XmlWin win_of(std::uint8_t winner, std::uint8_t from, Scores deltas) {
  XmlWin win;
  win.winner = winner;
  win.from = from;
  win.deltas = deltas;
  return win;
}

TEST(xml_preparation_test, game_wide_flags_come_from_the_game_type) {
  struct Row {
    std::uint16_t game_type;
    bool aka_flag;
    std::uint8_t kyoku_first;
  };
  for (const Row row : {Row{169, true, 0}, Row{161, true, 4}, Row{171, false, 0}, Row{0, true, 4}}) {
    const auto game = prepare_xml_game(game_of_type(row.game_type));
    ASSERT_TRUE(game) << row.game_type;
    EXPECT_EQ(game->aka_flag, row.aka_flag) << row.game_type;
    EXPECT_EQ(game->kyoku_first, row.kyoku_first) << row.game_type;
    EXPECT_EQ(game->names[3], "d");
  }
  EXPECT_EQ(prepare_xml_game(game_of_type(185)), std::unexpected(PrepareError::ThreePlayerGame));
}

// Seat s is dealt ids 13s..13s+12 (seat 1 holds the four 5m, 16 the red one).
XmlHand dealt_hand() {
  XmlHand hand;
  hand.id = HandId{.hand_index = 1, .honba = 2, .deposits = 0};
  hand.dora_indicators = {16, 134};
  for (std::uint8_t s = 0; s < 4; ++s) {
    for (std::uint8_t i = 0; i < 13; ++i) hand.starting_hands[s][i] = static_cast<TileId>(13 * s + (12 - i));
  }
  return hand;
}

TEST(xml_preparation_test, tiles_are_named_and_listed_as_tenhou_lists_them) {
  PreparedHand prepared;
  ASSERT_TRUE(prepare_xml_hand(dealt_hand(), 3, true, prepared));
  EXPECT_EQ(prepared.position, 3U);
  EXPECT_EQ(prepared.dora_indicators, (std::vector<Tile>{t(51), t(47)}));
  // A red five after the plain fives of its suit.
  EXPECT_EQ(prepared.starting_hands[1],
            (StartingHand{t(14), t(14), t(14), t(15), t(15), t(15), t(51), t(16), t(16), t(16), t(16), t(17), t(17)}));
  EXPECT_EQ(std::get<RecordedPlay>(prepared.play).starting_ids[1][0], 25);  // as dealt
  ASSERT_TRUE(prepare_xml_hand(dealt_hand(), 3, false, prepared));
  EXPECT_EQ(prepared.dora_indicators[0], t(15));  // without red fives, copy 0 is a plain five
}

// Each call code becomes the event Tenhou's own lists would give.
TEST(xml_preparation_test, call_codes_become_the_events_of_their_seat) {
  struct Row {
    std::uint16_t code;
    std::uint8_t seat;
    std::string event;
  };
  const Row rows[] = {
      {54431, 2, R"({"type":"chi","actor":2,"target":1,"pai":"6s","consumed":["4s","5sr"]})"},
      {29 << 9 | 2 << 5 | 0x8 | 1, 2, R"({"type":"pon","actor":2,"target":3,"pai":"1p","consumed":["1p","1p"]})"},
      {16 << 8 | 2, 0, R"({"type":"daiminkan","actor":0,"target":2,"pai":"5mr","consumed":["5m","5m","5m"]})"},
      {29 << 9 | 0 << 5 | 0x10 | 1, 2, R"({"type":"kakan","actor":2,"pai":"1p","consumed":["1p","1p","1p"]})"},
      {16 << 8, 1, R"({"type":"ankan","actor":1,"consumed":["5m","5m","5m","5mr"]})"},
  };
  for (const Row& row : rows) {
    XmlHand hand = dealt_hand();
    hand.steps = {XmlStep{.kind = XmlStep::Kind::Meld, .seat = row.seat, .index = 0}};
    hand.call_codes = {row.code};
    PreparedHand prepared;
    ASSERT_TRUE(prepare_xml_hand(hand, 0, true, prepared)) << row.code;
    const RecordedPlay& play = std::get<RecordedPlay>(prepared.play);
    ASSERT_EQ(play.melds.size(), 1U);
    EXPECT_EQ(encode_event(play.melds[0].event), row.event) << row.code;
  }

  XmlHand hand = dealt_hand();
  hand.steps = {XmlStep{.kind = XmlStep::Kind::Meld, .seat = 1, .index = 0}};
  hand.call_codes = {32};  // a north wind set aside: three players only
  PreparedHand prepared;
  const auto refused = prepare_xml_hand(hand, 4, true, prepared);
  ASSERT_FALSE(refused);
  EXPECT_EQ(describe(refused.error()), "hand 1 (honba 2), seat 1: call code 32 is not that of a four-player call");
  EXPECT_EQ(refused.error().hand_position, 4U);
}

TEST(xml_preparation_test, results_are_the_wins_in_order_or_the_draw) {
  XmlHand hand = dealt_hand();
  hand.steps = {XmlStep{.kind = XmlStep::Kind::Win, .index = 0}, XmlStep{.kind = XmlStep::Kind::Win, .index = 1}};
  hand.wins = {win_of(2, 1, {0, -1000, 1000, 0}), win_of(3, 1, {0, -2000, 0, 2000})};
  PreparedHand prepared;
  ASSERT_TRUE(prepare_xml_hand(hand, 0, true, prepared));
  EXPECT_EQ(prepared.result, HandResult(std::vector<Win>{{.deltas = {0, -1000, 1000, 0}, .winner = 2, .target = 1},
                                                         {.deltas = {0, -2000, 0, 2000}, .winner = 3, .target = 1}}));

  hand.steps = {XmlStep{.kind = XmlStep::Kind::Abort}};
  hand.wins.clear();
  hand.draw_end.kind = XmlDrawEnd::Kind::FourRiichi;
  hand.draw_end.deltas = {1, 2, 3, 4};
  ASSERT_TRUE(prepare_xml_hand(hand, 0, true, prepared));
  EXPECT_EQ(prepared.result, HandResult(Draw{.deltas = {1, 2, 3, 4}, .kind = DrawKind::FourRiichi}));
}

}  // namespace
}  // namespace kiroku
