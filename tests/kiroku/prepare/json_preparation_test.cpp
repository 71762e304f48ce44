#include "kiroku/prepare/json_preparation.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kiroku/tile_code.h"

namespace kiroku {
namespace {

const std::string kWinLabel = "\xE5\x92\x8C\xE4\xBA\x86";  // 和了

JsonValue number(std::uint64_t n) { return JsonValue{n}; }
JsonValue negative(std::int64_t n) { return JsonValue{n}; }
JsonValue real(double n) { return JsonValue{n}; }
JsonValue text(std::string s) { return JsonValue{std::move(s)}; }

JsonLog log_with_rule(std::string disp) {
  JsonLog log;
  log.name = {"a", "b", "c", "d"};
  log.rule.disp = std::move(disp);
  return log;
}

std::expected<PreparedGame, PrepareError> game_of(JsonLog log) { return prepare_json_game(log); }

TEST(json_preparation_test, refuses_three_player_rule_texts) {
  for (std::string disp : {"3-Player South", "\xE4\xB8\x89\xE9\xB3\xB3\xE5\x8D\x97",  // 三鳳南
                           "x\xE4\xB8\x89"}) {
    EXPECT_EQ(game_of(log_with_rule(disp)), std::unexpected(PrepareError::ThreePlayerGame)) << disp;
  }
  EXPECT_TRUE(game_of(log_with_rule("3-player")));  // only the exact spelling marks one
}

TEST(json_preparation_test, east_only_games_start_at_four) {
  EXPECT_EQ(game_of(log_with_rule("\xE8\x88\xAC\xE6\x9D\xB1\xE5\x96\xB0\xE8\xB5\xA4"))->kyoku_first,
            4);  // 般東喰赤
  EXPECT_EQ(game_of(log_with_rule("Jade Room East"))->kyoku_first, 4);
  EXPECT_EQ(game_of(log_with_rule("Jade Room east"))->kyoku_first, 0);
  EXPECT_EQ(game_of(log_with_rule("\xE9\xB3\xB3\xE5\x8D\x97\xE5\x96\xB0\xE8\xB5\xA4"))->kyoku_first,
            0);  // 鳳南喰赤
  EXPECT_EQ(game_of(log_with_rule(""))->kyoku_first, 0);
}

TEST(json_preparation_test, red_fives_are_on_when_any_count_is_not_zero) {
  JsonLog log = log_with_rule("");
  EXPECT_FALSE(game_of(log)->aka_flag);
  log.rule.aka51 = 128;
  log.rule.aka52 = 128;  // would wrap to zero if summed in eight bits
  EXPECT_TRUE(game_of(log)->aka_flag);
  log.rule = Rule{.disp = "", .aka = 0, .aka51 = 1, .aka52 = 1, .aka53 = 1};
  EXPECT_TRUE(game_of(log)->aka_flag);
}

TEST(json_preparation_test, takes_names_and_hands_over_with_their_lists_decoded) {
  JsonLog log = log_with_rule("");
  JsonHand hand;
  hand.id = {5, 1, 2};
  hand.scores = {25000, 24000, 26000, 25000};
  hand.dora_indicators = {*tile_from_code(11)};
  hand.seats[2].hand[0] = *tile_from_code(47);
  hand.seats[2].takes = {*tile_from_code(12), NotationText("c131112")};
  hand.seats[2].discards = {std::uint8_t{60}};
  const auto game = prepare_json_game(log);
  ASSERT_TRUE(game);
  EXPECT_EQ(game->names[3], "d");

  PreparedHand prepared;
  ASSERT_TRUE(prepare_json_hand(JsonHand(hand), 7, prepared));
  EXPECT_EQ(prepared.position, 7u);
  EXPECT_EQ(prepared.id, (HandId{5, 1, 2}));
  EXPECT_EQ(prepared.scores, hand.scores);
  EXPECT_EQ(prepared.dora_indicators, hand.dora_indicators);
  EXPECT_EQ(prepared.starting_hands[2], hand.seats[2].hand);
  EXPECT_EQ(prepared.result, HandResult(Draw{}));
  const SeatLists& seat = std::get<ListedPlay>(prepared.play).seats[2];
  ASSERT_EQ(seat.takes.size(), 2u);
  EXPECT_EQ(seat.takes[1].kind, ListEntry::Kind::Chi);
  ASSERT_EQ(seat.discards.size(), 1u);
  EXPECT_EQ(seat.discards[0].pai, *tile_from_code(12));  // the tsumogiri of the draw it pairs with
}

// Results as the log writes them, and what they reduce to.
TEST(json_preparation_test, reduces_win_lists) {
  using Items = std::vector<ResultItem>;
  auto reduce = [](Items items) { return reduce_hand_result(std::move(items)); };
  const Scores ron = {-1000, 1000, 0, 0};

  EXPECT_EQ(reduce(Items{kWinLabel, ron, std::vector{number(1), number(0), number(1)}}),
            HandResult(std::vector{Win{ron, 1, 0}}));
  // Two winners on one discard, in log order.
  EXPECT_EQ(reduce(Items{kWinLabel, Scores{0, -8000, 8000, 0}, std::vector{number(2), number(1), number(2)},
                         Scores{0, -1000, 0, 1000}, std::vector{number(3), number(1), number(3)}}),
            HandResult(std::vector{Win{{0, -8000, 8000, 0}, 2, 1}, Win{{0, -1000, 0, 1000}, 3, 1}}));
  // Negative and floating-point seats count as 0; large ones keep their low byte.
  EXPECT_EQ(reduce(Items{kWinLabel, ron, std::vector{number(1), negative(-1)}}),
            HandResult(std::vector{Win{ron, 1, 0}}));
  EXPECT_EQ(reduce(Items{kWinLabel, ron, std::vector{number(1), real(2.0)}}), HandResult(std::vector{Win{ron, 1, 0}}));
  EXPECT_EQ(reduce(Items{kWinLabel, ron, std::vector{number(257), number(3)}}),
            HandResult(std::vector{Win{ron, 1, 3}}));
  // Pairs that are not (deltas, details) are skipped; a lone label has no wins.
  EXPECT_EQ(reduce(Items{kWinLabel, std::string("x"), std::vector{number(1), number(0)}}),
            HandResult(std::vector<Win>{}));
  EXPECT_EQ(reduce(Items{kWinLabel, ron, Scores{1, 0, 1, 0}}), HandResult(std::vector<Win>{}));
  EXPECT_EQ(reduce(Items{kWinLabel}), HandResult(std::vector<Win>{}));
  EXPECT_EQ(reduce(Items{kWinLabel, ron}), HandResult(std::vector<Win>{}));
}

TEST(json_preparation_test, refuses_win_details_without_winner_or_target) {
  using Items = std::vector<ResultItem>;
  const Scores ron = {-1000, 1000, 0, 0};
  for (auto details : {std::vector{number(1)}, std::vector{number(1), text("0")}, std::vector<JsonValue>{},
                       std::vector{JsonValue{JsonNull{}}, number(0)}}) {
    EXPECT_EQ(reduce_hand_result(Items{kWinLabel, ron, details}), std::unexpected(PrepareError::InvalidWinEntry));
  }
  JsonHand hand;
  hand.result = Items{kWinLabel, ron, std::vector{number(1)}};
  PreparedHand prepared;
  const auto refused = prepare_json_hand(std::move(hand), 1, prepared);
  ASSERT_FALSE(refused);
  EXPECT_EQ(std::get<PrepareError>(refused.error()), PrepareError::InvalidWinEntry);
}

TEST(json_preparation_test, reduces_draws) {
  using Items = std::vector<ResultItem>;
  const Scores tenpai = {1500, -1500, 1500, -1500};
  const std::string exhaustive = "\xE6\xB5\x81\xE5\xB1\x80";  // 流局
  EXPECT_EQ(reduce_hand_result(Items{exhaustive, tenpai}), HandResult(Draw{tenpai, DrawKind::Exhaustive}));
  EXPECT_EQ(reduce_hand_result(Items{exhaustive}), HandResult(Draw{{}, DrawKind::Exhaustive}));
  EXPECT_EQ(reduce_hand_result(Items{exhaustive, std::vector{number(1)}, tenpai}),
            HandResult(Draw{{}, DrawKind::Exhaustive}));
  EXPECT_EQ(reduce_hand_result(Items{}), HandResult(Draw{}));
  EXPECT_EQ(reduce_hand_result(Items{tenpai, exhaustive}), HandResult(Draw{}));

  // Each label names its kind of draw, exactly: another is a draw of no
  // known kind.
  const std::string four_riichi = "\xE5\x9B\x9B\xE5\xAE\xB6\xE7\xAB\x8B\xE7\x9B\xB4";  // 四家立直
  EXPECT_EQ(reduce_hand_result(Items{four_riichi}), HandResult(Draw{.deltas = {}, .kind = DrawKind::FourRiichi}));
  EXPECT_EQ(reduce_hand_result(Items{four_riichi + " "}), HandResult(Draw{}));
  EXPECT_EQ(reduce_hand_result(Items{four_riichi.substr(0, 9)}), HandResult(Draw{}));
}

}  // namespace
}  // namespace kiroku
