#include "kiroku/encode/event_encoder.h"

#include "kiroku/encode/json_writer.h"
#include "kiroku/tile_code.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace kiroku {
namespace {

Tile t(std::uint8_t code) { return *tile_from_code(code); }

std::string text_of(const Event& event) { return encode_event(event); }

TEST(event_encoder_test, writes_members_in_each_kinds_order) {
  EXPECT_EQ(text_of(event::Tsumo{0, t(11)}), R"({"type":"tsumo","actor":0,"pai":"1m"})");
  EXPECT_EQ(text_of(event::Dahai{0, t(11), true}), R"({"type":"dahai","actor":0,"pai":"1m","tsumogiri":true})");
  EXPECT_EQ(text_of(event::Chi{2, 1, t(13), {t(11), t(12)}}),
            R"({"type":"chi","actor":2,"target":1,"pai":"3m","consumed":["1m","2m"]})");
  EXPECT_EQ(text_of(event::Pon{0, 2, t(25), {t(25), t(52)}}),
            R"({"type":"pon","actor":0,"target":2,"pai":"5p","consumed":["5p","5pr"]})");
  EXPECT_EQ(text_of(event::Daiminkan{3, 0, t(39), {t(39), t(39), t(39)}}),
            R"({"type":"daiminkan","actor":3,"target":0,"pai":"9s","consumed":["9s","9s","9s"]})");
  EXPECT_EQ(text_of(event::Kakan{1, t(37), {t(37), t(37), t(37)}}),
            R"({"type":"kakan","actor":1,"pai":"7s","consumed":["7s","7s","7s"]})");
  EXPECT_EQ(text_of(event::Ankan{1, {t(42), t(42), t(42), t(42)}}),
            R"({"type":"ankan","actor":1,"consumed":["S","S","S","S"]})");
  EXPECT_EQ(text_of(event::Dora{t(47)}), R"({"type":"dora","dora_marker":"C"})");
  EXPECT_EQ(text_of(event::Reach{3}), R"({"type":"reach","actor":3})");
  EXPECT_EQ(text_of(event::ReachAccepted{3}), R"({"type":"reach_accepted","actor":3})");
  EXPECT_EQ(text_of(event::None{}), R"({"type":"none"})");
  EXPECT_EQ(text_of(event::EndKyoku{}), R"({"type":"end_kyoku"})");
  EXPECT_EQ(text_of(event::EndGame{}), R"({"type":"end_game"})");
}

TEST(event_encoder_test, leaves_out_absent_optional_members) {
  EXPECT_EQ(text_of(event::Hora{1, 0, std::nullopt, std::nullopt}), R"({"type":"hora","actor":1,"target":0})");
  EXPECT_EQ(text_of(event::Hora{1, 0, std::nullopt, std::vector<Tile>{}}),
            R"({"type":"hora","actor":1,"target":0,"ura_markers":[]})");
  EXPECT_EQ(text_of(event::Hora{1, 1, Scores{-4000, 12000, -4000, -4000}, std::vector{t(53), t(0)}}),
            R"({"type":"hora","actor":1,"target":1,"deltas":[-4000,12000,-4000,-4000],"ura_markers":["5sr","?"]})");
  EXPECT_EQ(text_of(event::Ryukyoku{}), R"({"type":"ryukyoku"})");
  EXPECT_EQ(text_of(event::Ryukyoku{Scores{0, 0, 0, 0}}), R"({"type":"ryukyoku","deltas":[0,0,0,0]})");
}

TEST(event_encoder_test, writes_numbers_at_their_edges) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(text_of(event::Ryukyoku{Scores{kMin, kMax, -1, 10}}),
            R"({"type":"ryukyoku","deltas":[-2147483648,2147483647,-1,10]})");
  EXPECT_EQ(text_of(event::Ryukyoku{Scores{9, 99, 100, -100000}}),
            R"({"type":"ryukyoku","deltas":[9,99,100,-100000]})");
  event::StartKyoku kyoku{.bakaze = t(44),
                          .dora_marker = t(0),
                          .kyoku = 255,
                          .honba = 255,
                          .kyotaku = 255,
                          .oya = 3,
                          .scores = {25000, 0, -300, 1000000},
                          .tehais = {}};
  const std::string hand = R"(["?","?","?","?","?","?","?","?","?","?","?","?","?"])";
  EXPECT_EQ(text_of(kyoku), R"({"type":"start_kyoku","bakaze":"N","dora_marker":"?","kyoku":255,"honba":255,)"
                            R"("kyotaku":255,"oya":3,"scores":[25000,0,-300,1000000],"tehais":[)" +
                                hand + "," + hand + "," + hand + "," + hand + "]}");
}

TEST(event_encoder_test, escapes_player_names) {
  event::StartGame game{{"a\"b", "back\\slash", "line\nfeed\t\b\f\r", "\xE5\x92\x8C/\x7F\x01\x1F"}, 4, true};
  EXPECT_EQ(text_of(game),
            "{\"type\":\"start_game\",\"names\":[\"a\\\"b\",\"back\\\\slash\","
            "\"line\\nfeed\\t\\b\\f\\r\",\"\xE5\x92\x8C/\x7F\\u0001\\u001f\"],"
            "\"kyoku_first\":4,\"aka_flag\":true}");
  EXPECT_EQ(text_of(event::StartGame{{"", "", "", ""}, 0, false}),
            R"({"type":"start_game","names":["","","",""],"kyoku_first":0,"aka_flag":false})");
}

// The encoder writes without capacity checks into room reserved from an
// upper bound; the longest texts of every kind must stay within it.
TEST(event_encoder_test, longest_texts_stay_within_the_reserved_bound) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  const Scores widest = {kMin, kMin, kMin, kMin};
  const Tile red = t(51);
  std::array<StartingHand, 4> hands;
  for (auto& hand : hands) hand.fill(red);
  const std::string controls(40, '\x01');
  const std::vector<Event> longest = {
      event::StartGame{{controls, controls, std::string(300, '"'), ""}, 255, false},
      event::StartKyoku{red, red, 255, 255, 255, 255, widest, hands},
      event::Tsumo{255, red},
      event::Dahai{255, red, false},
      event::Chi{255, 255, red, {red, red}},
      event::Pon{255, 255, red, {red, red}},
      event::Daiminkan{255, 255, red, {red, red, red}},
      event::Kakan{255, red, {red, red, red}},
      event::Ankan{255, {red, red, red, red}},
      event::Dora{red},
      event::Reach{255},
      event::ReachAccepted{255},
      event::Hora{255, 255, widest, std::vector<Tile>(40, red)},
      event::Ryukyoku{widest},
      event::None{},
      event::EndKyoku{},
      event::EndGame{},
  };
  for (const Event& event : longest) {
    EXPECT_LE(text_of(event).size() + detail::JsonWriter::kMaxTileBytes, detail::max_text_size(event))
        << event_type_name(event);
    EXPECT_GE(detail::max_text_size(event), 40u) << "the type member is copied in a slot of 32 bytes";
  }
}

TEST(event_encoder_test, arena_holds_each_text_followed_by_a_line_feed) {
  const std::vector<Event> events = {event::EndGame{}, event::Tsumo{2, t(21)}, event::EndKyoku{}};
  EncodedEvents encoded = encode_events(events);
  ASSERT_EQ(encoded.size(), 3u);
  EXPECT_EQ(std::vector<std::string_view>(encoded.begin(), encoded.end()),
            (std::vector<std::string_view>{R"({"type":"end_game"})", R"({"type":"tsumo","actor":2,"pai":"1p"})",
                                           R"({"type":"end_kyoku"})"}));
  EXPECT_EQ(encoded.lines(), std::string(R"({"type":"end_game"})") + "\n" + R"({"type":"tsumo","actor":2,"pai":"1p"})" +
                                 "\n" + R"({"type":"end_kyoku"})" + "\n");

  // Appended batches continue the arena, through its growth.
  const std::vector<Event> batch(200, event::Tsumo{1, t(16)});
  for (int i = 0; i < 50; ++i) encoded.append(batch);
  EXPECT_EQ(encoded.size(), 3u + 50 * 200);
  std::size_t texts = 0;
  for (const std::string_view text : encoded) texts += text == R"({"type":"tsumo","actor":1,"pai":"6m"})";
  EXPECT_EQ(texts, 50u * 200);
  EXPECT_TRUE(encoded.lines().starts_with(R"({"type":"end_game"})"));

  const EncodedEvents empty = encode_events({});
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_EQ(empty.lines(), "");
  EXPECT_EQ(empty.begin(), empty.end());
}

}  // namespace
}  // namespace kiroku
