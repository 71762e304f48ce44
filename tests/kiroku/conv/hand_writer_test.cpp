#include "kiroku/conv/hand_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hand_builder.h"
#include "kiroku/conv/converter.h"

namespace kiroku::conv {
namespace {

using testing::HandBuilder;
using testing::play_of;
using testing::tile;
using Lines = std::vector<std::string>;

// What HandWriter::finish appends for the result of `hand`.
void finish(const PreparedHand& hand, std::vector<Event>& events) { EXPECT_TRUE(HandWriter(hand, events).finish()); }

// --- Where the writer places what no record holds --------------------------

Event tsumo(event::Seat actor, int code) { return event::Tsumo{.actor = actor, .pai = tile(code)}; }
Event dahai(event::Seat actor, int code, bool tsumogiri = false) {
  return event::Dahai{.actor = actor, .pai = tile(code), .tsumogiri = tsumogiri};
}
Event reach(event::Seat actor) { return event::Reach{.actor = actor}; }
Event pon(event::Seat actor, event::Seat target, int code) {
  return event::Pon{.actor = actor, .target = target, .pai = tile(code), .consumed = {tile(code), tile(code)}};
}
Event daiminkan(event::Seat actor, event::Seat target, int code) {
  return event::Daiminkan{
      .actor = actor, .target = target, .pai = tile(code), .consumed = {tile(code), tile(code), tile(code)}};
}
Event kakan(event::Seat actor, int code) {
  return event::Kakan{.actor = actor, .pai = tile(code), .consumed = {tile(code), tile(code), tile(code)}};
}
Event ankan(event::Seat actor, int code) {
  return event::Ankan{.actor = actor, .consumed = {tile(code), tile(code), tile(code), tile(code)}};
}

// Tells the writer each step as a walk would (a "reach" with the "dahai"
// after it), then the result; the events between "start_kyoku" and
// "end_kyoku".
Lines written(const PreparedHand& hand, const std::vector<Event>& steps) {
  std::vector<Event> events;
  HandWriter writer(hand, events);
  EXPECT_TRUE(writer.start());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const auto told = std::visit(
        [&](const auto& step) -> std::expected<void, ConversionError> {
          using E = std::decay_t<decltype(step)>;
          if constexpr (std::is_same_v<E, event::Tsumo>) return writer.tsumo(step);
          if constexpr (std::is_same_v<E, event::Chi>) return writer.chi(step);
          if constexpr (std::is_same_v<E, event::Pon>) return writer.pon(step);
          if constexpr (std::is_same_v<E, event::Daiminkan>) return writer.daiminkan(step);
          if constexpr (std::is_same_v<E, event::Dahai>) return writer.dahai(step);
          if constexpr (std::is_same_v<E, event::Reach>) return writer.riichi(step, std::get<event::Dahai>(steps[++i]));
          if constexpr (std::is_same_v<E, event::Kakan>) return writer.kakan(step);
          if constexpr (std::is_same_v<E, event::Ankan>) return writer.ankan(step);
          ADD_FAILURE() << "no step of play: " << event_type_name(Event(step));
          return {};
        },
        steps[i]);
    EXPECT_TRUE(told) << "step " << i << ": " << describe(told.error());
  }
  EXPECT_TRUE(writer.finish());
  return play_of(events);
}

// One row per rule of hand_writer.h, each through both kinds of hand end
// where the rule speaks of them.  The indicators are E, then S and W for
// the kans.
TEST(hand_writer_test, places_acceptances_and_kan_doras_by_its_rules) {
  const PreparedHand draw = HandBuilder().dora({41, 42, 43});
  const PreparedHand four_riichi_draw = [&] {
    PreparedHand hand = draw;
    hand.result = Draw{.deltas = {}, .kind = DrawKind::FourRiichi};
    return hand;
  }();
  const PreparedHand won = HandBuilder().dora({41, 42, 43}).win(2, 0);
  const PreparedHand self_drawn = HandBuilder().dora({41, 42, 43}).win(0, 0);
  struct Row {
    const char* rule;
    const PreparedHand& hand;
    std::vector<Event> steps;
    Lines events;
  };
  const Row rows[] = {
      {"riichi: accepted before the next draw",
       won,
       {tsumo(0, 11), reach(0), dahai(0, 11, true), tsumo(1, 12)},
       {"tsumo 0 1m", "reach 0", "dahai 0 1m tsumogiri", "reach_accepted 0", "tsumo 1 2m", "hora 2 from 0"}},
      {"riichi: accepted before a call of its tile",
       draw,
       {tsumo(0, 11), reach(0), dahai(0, 11, true), pon(2, 0, 11), dahai(2, 21)},
       {"tsumo 0 1m", "reach 0", "dahai 0 1m tsumogiri", "reach_accepted 0", "pon 2 from 0 1m [1m 1m]", "dahai 2 1p",
        "ryukyoku"}},
      {"riichi: never accepted when its tile is won on",
       won,
       {tsumo(0, 11), reach(0), dahai(0, 11, true)},
       {"tsumo 0 1m", "reach 0", "dahai 0 1m tsumogiri", "hora 2 from 0"}},
      {"riichi: accepted before the four-riichi draw it brings",
       four_riichi_draw,
       {tsumo(0, 11), reach(0), dahai(0, 11, true), tsumo(1, 12), reach(1), dahai(1, 12, true), tsumo(2, 13), reach(2),
        dahai(2, 13, true), tsumo(3, 14), reach(3), dahai(3, 14, true)},
       {"tsumo 0 1m", "reach 0", "dahai 0 1m tsumogiri", "reach_accepted 0", "tsumo 1 2m", "reach 1",
        "dahai 1 2m tsumogiri", "reach_accepted 1", "tsumo 2 3m", "reach 2", "dahai 2 3m tsumogiri", "reach_accepted 2",
        "tsumo 3 4m", "reach 3", "dahai 3 4m tsumogiri", "reach_accepted 3", "ryukyoku"}},
      {"riichi: any other draw on its tile leaves it unaccepted",
       draw,
       {tsumo(3, 14), reach(3), dahai(3, 14, true)},
       {"tsumo 3 4m", "reach 3", "dahai 3 4m tsumogiri", "ryukyoku"}},
      {"ankan: its dora before the replacement draw",
       draw,
       {tsumo(0, 11), ankan(0, 42), tsumo(0, 12), dahai(0, 12, true)},
       {"tsumo 0 1m", "ankan 0 [S S S S]", "dora S", "tsumo 0 2m", "dahai 0 2m tsumogiri", "ryukyoku"}},
      {"daiminkan: its dora after the replacement draw, before the discard",
       draw,
       {tsumo(0, 11), dahai(0, 11, true), daiminkan(2, 0, 11), tsumo(2, 12), dahai(2, 13)},
       {"tsumo 0 1m", "dahai 0 1m tsumogiri", "daiminkan 2 from 0 1m [1m 1m 1m]", "tsumo 2 2m", "dora S", "dahai 2 3m",
        "ryukyoku"}},
      {"kakan: its dora after the replacement draw, before the discard",
       draw,
       {tsumo(0, 11), kakan(0, 11), tsumo(0, 12), dahai(0, 12, true)},
       {"tsumo 0 1m", "kakan 0 1m [1m 1m 1m]", "tsumo 0 2m", "dora S", "dahai 0 2m tsumogiri", "ryukyoku"}},
      {"kakan while an earlier kan's dora is due: that one after the kakan, before its draw",
       draw,
       {tsumo(3, 11), dahai(3, 11, true), daiminkan(0, 3, 11), tsumo(0, 12), kakan(0, 14), tsumo(0, 13),
        dahai(0, 13, true)},
       {"tsumo 3 1m", "dahai 3 1m tsumogiri", "daiminkan 0 from 3 1m [1m 1m 1m]", "tsumo 0 2m", "kakan 0 4m [4m 4m 4m]",
        "dora S", "tsumo 0 3m", "dora W", "dahai 0 3m tsumogiri", "ryukyoku"}},
      {"ankan while an earlier kan's dora is due: that one before the ankan",
       draw,
       {tsumo(3, 11), dahai(3, 11, true), daiminkan(0, 3, 11), tsumo(0, 12), ankan(0, 14), tsumo(0, 13),
        dahai(0, 13, true)},
       {"tsumo 3 1m", "dahai 3 1m tsumogiri", "daiminkan 0 from 3 1m [1m 1m 1m]", "tsumo 0 2m", "dora S",
        "ankan 0 [4m 4m 4m 4m]", "dora W", "tsumo 0 3m", "dahai 0 3m tsumogiri", "ryukyoku"}},
      {"daiminkan while an earlier kan's dora is due: that one before the daiminkan",
       draw,
       {tsumo(0, 11), kakan(0, 14), tsumo(0, 12), reach(0), dahai(0, 12, true), daiminkan(2, 0, 12), tsumo(2, 13),
        dahai(2, 13, true)},
       {"tsumo 0 1m", "kakan 0 4m [4m 4m 4m]", "tsumo 0 2m", "reach 0", "dahai 0 2m tsumogiri", "reach_accepted 0",
        "dora S", "daiminkan 2 from 0 2m [2m 2m 2m]", "tsumo 2 3m", "dora W", "dahai 2 3m tsumogiri", "ryukyoku"}},
      {"riichi on the discard after an open kan: the dora waits for the next discard",
       draw,
       {tsumo(3, 11), dahai(3, 11, true), daiminkan(0, 3, 11), tsumo(0, 12), reach(0), dahai(0, 12, true), tsumo(1, 13),
        dahai(1, 13, true)},
       {"tsumo 3 1m", "dahai 3 1m tsumogiri", "daiminkan 0 from 3 1m [1m 1m 1m]", "tsumo 0 2m", "reach 0",
        "dahai 0 2m tsumogiri", "reach_accepted 0", "tsumo 1 3m", "dora S", "dahai 1 3m tsumogiri", "ryukyoku"}},
      {"riichi on the discard after a kakan: the dora waits for the next discard",
       draw,
       {tsumo(0, 11), kakan(0, 14), tsumo(0, 12), reach(0), dahai(0, 12, true), tsumo(1, 13), dahai(1, 13, true)},
       {"tsumo 0 1m", "kakan 0 4m [4m 4m 4m]", "tsumo 0 2m", "reach 0", "dahai 0 2m tsumogiri", "reach_accepted 0",
        "tsumo 1 3m", "dora S", "dahai 1 3m tsumogiri", "ryukyoku"}},
      {"a robbed kan reveals nothing",
       won,
       {tsumo(0, 11), kakan(0, 11)},
       {"tsumo 0 1m", "kakan 0 1m [1m 1m 1m]", "hora 2 from 0"}},
      {"a kan won on its replacement draw reveals nothing",
       self_drawn,
       {tsumo(0, 11), kakan(0, 11), tsumo(0, 12)},
       {"tsumo 0 1m", "kakan 0 1m [1m 1m 1m]", "tsumo 0 2m", "hora 0 from 0"}},
  };
  for (const Row& row : rows) EXPECT_EQ(written(row.hand, row.steps), row.events) << row.rule;
}

// --- The result ------------------------------------------------------------

TEST(hand_writer_test, draw_writes_ryukyoku_with_its_deltas) {
  std::vector<Event> events{event::Dahai{}};
  finish(HandBuilder().draw({3000, -1000, -1000, -1000}), events);
  EXPECT_EQ(events, (std::vector<Event>{event::Dahai{}, event::Ryukyoku{.deltas = Scores{3000, -1000, -1000, -1000}},
                                        event::EndKyoku{}}));
}

TEST(hand_writer_test, every_win_gets_the_whole_ura_list) {
  std::vector<Event> events;
  finish(HandBuilder().ura({21, 53}).win(2, 1, {0, -8000, 8000, 0}).win(0, 1, {1000, -1000, 0, 0}), events);
  const std::vector<Tile> ura{tile(21), tile(53)};
  EXPECT_EQ(events, (std::vector<Event>{
                        event::Hora{.actor = 2, .target = 1, .deltas = Scores{0, -8000, 8000, 0}, .ura_markers = ura},
                        event::Hora{.actor = 0, .target = 1, .deltas = Scores{1000, -1000, 0, 0}, .ura_markers = ura},
                        event::EndKyoku{}}));
}

TEST(hand_writer_test, win_without_ura_indicators_has_an_empty_list_not_none) {
  std::vector<Event> events;
  finish(HandBuilder().win(3, 3), events);
  const auto& hora = std::get<event::Hora>(events.at(0));
  ASSERT_TRUE(hora.ura_markers.has_value());
  EXPECT_TRUE(hora.ura_markers->empty());
  ASSERT_TRUE(hora.deltas.has_value());
}

TEST(hand_writer_test, empty_win_list_writes_only_end_kyoku) {
  PreparedHand hand = HandBuilder();
  hand.result = std::vector<Win>{};
  std::vector<Event> events;
  finish(hand, events);
  EXPECT_EQ(events, (std::vector<Event>{event::EndKyoku{}}));
}

TEST(hand_writer_test, winner_and_target_pass_unchecked) {
  std::vector<Event> events;
  finish(HandBuilder().win(200, 7), events);
  const auto& hora = std::get<event::Hora>(events.at(0));
  EXPECT_EQ(hora.actor, 200);
  EXPECT_EQ(hora.target, 7);
}

// A hand built directly, as a test or a future reader can: no indicator at
// all fails in either walk before anything is written, never aborts.
TEST(hand_writer_test, a_hand_without_indicators_fails_in_either_walk) {
  PreparedHand listed = HandBuilder().seat(0, {11}, {});
  listed.dora_indicators.clear();
  PreparedHand recorded = listed;
  recorded.play = RecordedPlay{};
  const PreparedGame game;
  for (const PreparedHand* hand : {&listed, &recorded}) {
    std::vector<Event> events;
    const auto converted = Converter(game).convert_hand(*hand, events);
    ASSERT_FALSE(converted);
    EXPECT_EQ(converted.error().kind, ConversionErrorKind::NoDoraMarker);
    EXPECT_TRUE(events.empty());
  }
}

}  // namespace
}  // namespace kiroku::conv
