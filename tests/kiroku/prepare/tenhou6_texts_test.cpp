// The texts Tenhou's JSON log writes of a game and its results, for what
// the six official conversions do not show: dealer tsumo, every limit,
// yakuman and a liable seat, the draws, the rooms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kiroku/prepare/game_text.h"
#include "kiroku/prepare/win_text.h"
#include "kiroku/prepare/xml_preparation.h"
#include "kiroku/prepare/xml_tenhou6.h"

namespace kiroku {
namespace {

TEST(tenhou6_texts_test, points_name_the_limit_or_fu_and_han_then_who_pays_what) {
  struct Case {
    WinValue value;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{.fu = 30, .han = 4, .points = 7700}, "30符4飜7700点"},
      {{.fu = 40, .han = 3, .points = 7700, .dealer = true}, "40符3飜7700点"},
      {{.fu = 30, .han = 4, .points = 11700, .self_drawn = true, .dealer = true}, "30符4飜3900点∀"},
      {{.fu = 30, .han = 1, .points = 1500, .self_drawn = true, .dealer = true}, "30符1飜500点∀"},
      // The dealer's share rounds to twice the others' or 100 less.
      {{.fu = 30, .han = 1, .points = 1100, .self_drawn = true}, "30符1飜300-500点"},
      {{.fu = 20, .han = 3, .points = 2700, .self_drawn = true}, "20符3飜700-1300点"},
      {{.fu = 20, .han = 4, .points = 5200, .self_drawn = true}, "20符4飜1300-2600点"},
      {{.fu = 40, .han = 5, .points = 12000, .limit = 1, .self_drawn = true, .dealer = true}, "満貫4000点∀"},
      {{.fu = 30, .han = 6, .points = 12000, .limit = 2}, "跳満12000点"},
      {{.fu = 30, .han = 8, .points = 16000, .limit = 3, .self_drawn = true}, "倍満4000-8000点"},
      {{.fu = 30, .han = 11, .points = 36000, .limit = 4, .dealer = true}, "三倍満36000点"},
      {{.fu = 30, .han = 13, .points = 32000, .limit = 5}, "役満32000点"},
      {{.fu = 40, .points = 48000, .limit = 5, .self_drawn = true, .dealer = true}, "役満16000点∀"},
      // A double yakuman is named as a single one.
      {{.fu = 50, .points = 64000, .limit = 5, .self_drawn = true}, "役満16000-32000点"},
  };
  for (const Case& c : cases) EXPECT_EQ(points_text(c.value), c.text);
}

TEST(tenhou6_texts_test, yaku_are_named_with_their_han_or_as_yakuman) {
  struct Case {
    std::uint8_t id;
    std::optional<std::uint32_t> han;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0, 1, "門前清自摸和(1飜)"},  {12, 1, "自風 西(1飜)"},          {17, 1, "場風 北(1飜)"},
      {20, 1, "役牌 中(1飜)"},      {21, 2, "両立直(2飜)"},           {35, 6, "清一色(6飜)"},
      {52, 12, "ドラ(12飜)"},       {54, 3, "赤ドラ(3飜)"},           {36, {}, "人和(役満)"},
      {41, {}, "四暗刻単騎(役満)"}, {48, {}, "国士無双１３面(役満)"}, {51, {}, "四槓子(役満)"},
  };
  for (const Case& c : cases) {
    const auto name = yaku_name(c.id);
    ASSERT_TRUE(name) << int{c.id};
    EXPECT_EQ(yaku_text(*name, c.han), c.text);
  }
  EXPECT_FALSE(yaku_name(55));
}

TEST(tenhou6_texts_test, rules_and_ranks_are_named_as_tenhou_names_them) {
  const std::vector<std::pair<std::uint16_t, std::string>> rules = {
      {169, "鳳南喰赤"},  {41, "特南喰赤"}, {137, "上南喰赤"}, {9, "般南喰赤"}, {1, "般東喰赤"},
      {97, "特東喰赤速"}, {15, "般南"},     {11, "般南喰"},    {13, "般南赤"},
  };
  for (const auto& [type, text] : rules) EXPECT_EQ(rule_text(type), text) << type;
  const std::vector<std::pair<std::uint8_t, std::string_view>> ranks = {
      {0, "新人"}, {1, "９級"}, {9, "１級"}, {10, "初段"}, {19, "十段"}, {20, "天鳳位"}, {21, ""},
  };
  for (const auto& [rank, name] : ranks) EXPECT_EQ(rank_name(rank), name) << int{rank};
}

// A hand of the XML log that ends as `steps` end, its result into Tenhou's
// result list.
std::expected<std::vector<ResultItem>, PrepareError> result_of(const XmlHand& hand) {
  PreparedHand prepared;
  EXPECT_TRUE(prepare_xml_hand(hand, 0, true, prepared));
  JsonHand out;
  Tenhou6Game game;
  if (auto written = tenhou6_hand_of(hand, prepared, 0, out, game); !written) return std::unexpected(written.error());
  return out.result;
}

XmlHand hand_won(std::vector<XmlWin> wins, std::uint8_t dealer = 0) {
  XmlHand hand;
  hand.dealer = dealer;
  for (std::uint32_t i = 0; i < wins.size(); ++i) hand.steps.push_back({.kind = XmlStep::Kind::Win, .index = i});
  hand.wins = std::move(wins);
  return hand;
}

std::vector<JsonValue> detail(std::uint64_t who, std::uint64_t from, std::uint64_t liable,
                              std::vector<std::string> texts) {
  std::vector<JsonValue> values = {{who}, {from}, {liable}};
  for (std::string& text : texts) values.push_back({std::move(text)});
  return values;
}

TEST(tenhou6_texts_test, wins_list_each_winner_with_the_seat_liable_for_it) {
  const Scores tsumo = {64000, 0, -64000, 0};
  const Scores ron = {0, 12000, -12000, 0};
  // A liable seat pays a self-drawn yakuman whole, yet the points are those
  // of the tsumo; without one, the winner is written in its place.
  const XmlWin pao_tsumo{.winner = 0,
                         .from = 0,
                         .deltas = tsumo,
                         .fu = 50,
                         .points = 64000,
                         .limit = 5,
                         .yaku = {},
                         .yakuman = {39, 42},
                         .liable = 2};
  const XmlWin ron_worth_nothing_more{.winner = 1,
                                      .from = 2,
                                      .deltas = ron,
                                      .fu = 30,
                                      .points = 12000,
                                      .limit = 2,
                                      .yaku = {{1, 1}, {53, 0}, {8, 1}, {52, 3}, {54, 0}, {54, 1}},
                                      .yakuman = {},
                                      .liable = {}};
  const XmlWin pao_ron{.winner = 3,
                       .from = 1,
                       .deltas = ron,
                       .fu = 30,
                       .points = 32000,
                       .limit = 5,
                       .yaku = {},
                       .yakuman = {49},
                       .liable = 0};
  EXPECT_EQ(
      result_of(hand_won({pao_tsumo}, 3)).value(),
      (std::vector<ResultItem>{"和了", tsumo, detail(0, 0, 2, {"役満16000-32000点", "大三元(役満)", "字一色(役満)"})}));
  EXPECT_EQ(result_of(hand_won({ron_worth_nothing_more, pao_ron})).value(),
            (std::vector<ResultItem>{
                "和了", ron, detail(1, 2, 1, {"跳満12000点", "立直(1飜)", "断幺九(1飜)", "ドラ(3飜)", "赤ドラ(1飜)"}),
                ron, detail(3, 1, 0, {"役満32000点", "大四喜(役満)"})}));
  XmlWin unknown = ron_worth_nothing_more;
  unknown.yaku.push_back({55, 1});
  EXPECT_EQ(result_of(hand_won({unknown})), std::unexpected(PrepareError::UnknownYaku));
}

TEST(tenhou6_texts_test, draws_are_named_and_only_a_hand_played_out_moves_points) {
  using Kind = XmlDrawEnd::Kind;
  const Scores deltas = {1500, -1500, 1500, -1500};
  struct Case {
    Kind kind;
    std::array<bool, kSeatCount> shown;
    std::vector<ResultItem> result;
  };
  const std::vector<Case> cases = {
      {Kind::Exhaustive, {true, false, true, false}, {"流局", deltas}},
      {Kind::Exhaustive, {true, true, true, true}, {"全員聴牌", deltas}},
      {Kind::Exhaustive, {}, {"全員不聴", deltas}},
      {Kind::NagashiMangan, {}, {"流し満貫", deltas}},
      {Kind::NineTerminals, {true, false, false, false}, {"九種九牌"}},
      {Kind::FourRiichi, {true, true, true, true}, {"四家立直"}},
      {Kind::TripleRon, {}, {"三家和了"}},
      {Kind::FourKans, {}, {"四槓散了"}},
      {Kind::FourWinds, {}, {"四風連打"}},
  };
  for (const Case& c : cases) {
    XmlHand hand;
    hand.steps.push_back({.kind = XmlStep::Kind::Abort});
    hand.draw_end = {.kind = c.kind, .deltas = deltas, .hands_shown = c.shown};
    EXPECT_EQ(result_of(hand).value(), c.result) << static_cast<int>(c.kind);
  }
}

}  // namespace
}  // namespace kiroku
