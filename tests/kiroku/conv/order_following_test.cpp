#include "kiroku/conv/order_following.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kiroku/conv/converter.h"
#include "kiroku/encode/event_encoder.h"
#include "kiroku/prepare/xml_preparation.h"
#include "kiroku/tile_id.h"

namespace kiroku::conv {
namespace {

using Kind = XmlStep::Kind;

// Call codes as the XML log writes them.
constexpr std::uint16_t kAnkanOf5m = 16 << 8;                            // ids 16..19, the red one among them
constexpr std::uint16_t kAnkanOf1m = 0;                                  // ids 0..3
constexpr std::uint16_t kPon1pFromNext = 29 << 9 | 2 << 5 | 0x8 | 1;     // 36, 37 and the claimed 39
constexpr std::uint16_t kPon1pOf37To39 = 29 << 9 | 0 << 5 | 0x8 | 1;     // 37, 38 and the claimed 39
constexpr std::uint16_t kKakan1pAdding36 = 29 << 9 | 0 << 5 | 0x10 | 1;  // that pon and 36

// A hand of the XML log through its preparation and the walk.  Seat s is
// dealt ids 13s..13s+12: seat 0 the 1m, 2m and 3m and a 4m, seat 1 three
// 4m, the four 5m (16 the red one), 6m and two 7m, seat 2 two 7m, 8m, 9m and
// three 1p, seat 3 a 1p and the 2p, 3p and 4p.  Draws come from 52 up.
class Hand {
 public:
  Hand() {
    hand_.scores = {25000, 25000, 25000, 25000};
    hand_.dora_indicators = {135, 134};
    for (std::uint8_t s = 0; s < 4; ++s) {
      for (std::uint8_t i = 0; i < 13; ++i) hand_.starting_hands[s][i] = static_cast<TileId>(13 * s + (12 - i));
    }
  }
  Hand& step(Kind kind, std::uint8_t seat, TileId tile = 0) {
    hand_.steps.push_back(XmlStep{.kind = kind, .seat = seat, .tile = tile});
    return *this;
  }
  Hand& draw(std::uint8_t seat, TileId tile) { return step(Kind::Draw, seat, tile); }
  Hand& discard(std::uint8_t seat, TileId tile) { return step(Kind::Discard, seat, tile); }
  Hand& riichi(std::uint8_t seat) { return step(Kind::RiichiDeclared, seat); }
  Hand& meld(std::uint8_t seat, std::uint16_t code) {
    hand_.steps.push_back(
        XmlStep{.kind = Kind::Meld, .seat = seat, .index = static_cast<std::uint32_t>(hand_.call_codes.size())});
    hand_.call_codes.push_back(code);
    return *this;
  }
  Hand& win(std::uint8_t winner, std::uint8_t from) {
    hand_.steps.push_back(XmlStep{.kind = Kind::Win, .index = static_cast<std::uint32_t>(hand_.wins.size())});
    XmlWin& win = hand_.wins.emplace_back();
    win.winner = winner;
    win.from = from;
    win.deltas = {1000, -1000, 0, 0};
    return *this;
  }
  Hand& abort(XmlDrawEnd::Kind kind) {
    hand_.draw_end = XmlDrawEnd{.kind = kind};
    return step(Kind::Abort, 0);
  }
  Hand& indicators(std::vector<TileId> ids) {
    hand_.dora_indicators = std::move(ids);
    return *this;
  }

  // The hand's events as texts, or the error's description.
  std::vector<std::string> texts() const {
    PreparedHand prepared;
    if (auto refused = prepare_xml_hand(hand_, 0, true, prepared); !refused) return {describe(refused.error())};
    const PreparedGame game{.names = {"a", "b", "c", "d"}, .aka_flag = true};
    std::vector<Event> events;
    if (auto refused = Converter(game).convert_hand(prepared, events); !refused) return {describe(refused.error())};
    std::vector<std::string> out;
    for (const Event& event : events) out.push_back(encode_event(event));
    return out;
  }
  std::string error() const {
    const auto lines = texts();
    return lines.size() == 1 ? lines[0] : "(converted)";
  }

 private:
  XmlHand hand_;
};

TEST(order_following_test, steps_become_events_with_the_implicit_ones_in_place) {
  const auto texts = Hand()
                         .draw(0, 100)
                         .riichi(0)
                         .discard(0, 100)
                         .step(Kind::RiichiAccepted, 0)
                         .draw(1, 101)
                         .meld(1, kAnkanOf5m)
                         .draw(1, 102)
                         .discard(1, 13)
                         .draw(2, 103)
                         .discard(2, 103)
                         .draw(3, 104)
                         .discard(3, 39)
                         .meld(2, kPon1pFromNext)
                         .discard(2, 38)
                         .draw(3, 105)
                         .win(3, 3)
                         .texts();
  const std::vector<std::string> expected = {
      R"({"type":"start_kyoku","bakaze":"E","dora_marker":"C","kyoku":1,"honba":0,"kyotaku":0,"oya":0,"scores":[25000,25000,25000,25000],"tehais":[["1m","1m","1m","1m","2m","2m","2m","2m","3m","3m","3m","3m","4m"],["4m","4m","4m","5m","5m","5m","5mr","6m","6m","6m","6m","7m","7m"],["7m","7m","8m","8m","8m","8m","9m","9m","9m","9m","1p","1p","1p"],["1p","2p","2p","2p","2p","3p","3p","3p","3p","4p","4p","4p","4p"]]})",
      R"({"type":"tsumo","actor":0,"pai":"8s"})",
      R"({"type":"reach","actor":0})",
      R"({"type":"dahai","actor":0,"pai":"8s","tsumogiri":true})",
      R"({"type":"reach_accepted","actor":0})",
      R"({"type":"tsumo","actor":1,"pai":"8s"})",
      R"({"type":"ankan","actor":1,"consumed":["5m","5m","5m","5mr"]})",
      R"({"type":"dora","dora_marker":"C"})",
      R"({"type":"tsumo","actor":1,"pai":"8s"})",
      R"({"type":"dahai","actor":1,"pai":"4m","tsumogiri":false})",
      R"({"type":"tsumo","actor":2,"pai":"8s"})",
      R"({"type":"dahai","actor":2,"pai":"8s","tsumogiri":true})",
      R"({"type":"tsumo","actor":3,"pai":"9s"})",
      R"({"type":"dahai","actor":3,"pai":"1p","tsumogiri":false})",
      R"({"type":"pon","actor":2,"target":3,"pai":"1p","consumed":["1p","1p"]})",
      R"({"type":"dahai","actor":2,"pai":"1p","tsumogiri":false})",
      R"({"type":"tsumo","actor":3,"pai":"9s"})",
      R"({"type":"hora","actor":3,"target":3,"deltas":[1000,-1000,0,0],"ura_markers":[]})",
      R"({"type":"end_kyoku"})",
  };
  EXPECT_EQ(texts, expected);
}

TEST(order_following_test, an_added_kan_lists_the_pons_tiles_with_the_claimed_one_where_it_came_from) {
  // Seat 2 pons the 1p of seat 3 (the seat after it), later adds the fourth.
  Hand hand;
  hand.draw(0, 100).discard(0, 100).draw(1, 101).discard(1, 101).draw(2, 102).discard(2, 102).draw(3, 103);
  hand.discard(3, 39).meld(2, kPon1pOf37To39).discard(2, 26).draw(3, 104).discard(3, 104);
  hand.draw(0, 105).discard(0, 105).draw(1, 106).discard(1, 106).draw(2, 107).discard(2, 107).draw(3, 108);
  hand.discard(3, 108).draw(0, 109).discard(0, 109).draw(1, 110).discard(1, 110);
  hand.draw(2, 111).meld(2, kKakan1pAdding36);
  const auto texts = hand.draw(2, 112).discard(2, 112).win(3, 2).texts();
  const auto kakan = std::find_if(texts.begin(), texts.end(), [](const auto& t) { return t.find("kakan") != t.npos; });
  ASSERT_NE(kakan, texts.end());
  EXPECT_EQ(*kakan, R"({"type":"kakan","actor":2,"pai":"1p","consumed":["1p","1p","1p"]})");
}

TEST(order_following_test, records_that_cannot_be_a_game_are_refused_naming_hand_and_seat) {
  EXPECT_EQ(Hand().draw(0, 5).error(), "hand 0 (honba 0), seat 0: tile id 5 appears a second time");
  EXPECT_EQ(Hand().draw(0, 135).error(), "hand 0 (honba 0), seat 0: tile id 135 appears a second time");
  EXPECT_EQ(Hand().draw(0, 100).discard(0, 20).error(), "hand 0 (honba 0), seat 0: tile id 20 is not in the hand");
  EXPECT_EQ(Hand().draw(1, 100).error(), "hand 0 (honba 0), seat 1: draw out of turn");
  EXPECT_EQ(Hand().draw(0, 100).discard(0, 100).draw(2, 101).error(), "hand 0 (honba 0), seat 2: draw out of turn");
  EXPECT_EQ(Hand().draw(0, 100).discard(0, 100).meld(2, kPon1pFromNext).error(),
            "hand 0 (honba 0), seat 2: pon of 1p from seat 3 does not fit the last discard (8s from seat 0)");
  EXPECT_EQ(Hand().draw(0, 100).riichi(0).discard(0, 100).draw(1, 101).error(),
            "hand 0 (honba 0), seat 1: draw out of turn");  // before the riichi was accepted
  EXPECT_EQ(Hand().draw(0, 100).riichi(0).win(0, 0).error(), "hand 0 (honba 0), seat 0: win out of turn");
  EXPECT_EQ(Hand().draw(0, 100).discard(0, 100).error(), "hand 0 (honba 0), seat 0: the hand stops without a result");
  EXPECT_EQ(Hand().draw(0, 100).win(0, 0).draw(1, 101).error(), "hand 0 (honba 0), seat 1: draw out of turn");
  // A record that ends the hand both ways.
  EXPECT_EQ(Hand().draw(0, 100).win(0, 0).abort(XmlDrawEnd::Kind::NineTerminals).error(),
            "hand 0 (honba 0), seat 0: win out of turn");
  EXPECT_EQ(Hand().draw(0, 100).abort(XmlDrawEnd::Kind::NineTerminals).win(0, 0).error(),
            "hand 0 (honba 0), seat 0: win out of turn");
  EXPECT_EQ(Hand().indicators({135}).draw(0, 100).meld(0, kAnkanOf1m).draw(0, 101).error(),
            "hand 0 (honba 0): no dora indicator left");
}

}  // namespace
}  // namespace kiroku::conv
