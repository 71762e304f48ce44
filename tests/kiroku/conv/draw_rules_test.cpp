#include "kiroku/conv/draw_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hand_builder.h"

namespace kiroku::conv {
namespace {

using testing::tile;

// Plays in the tally's terms.
using Play = std::function<void(PlayTally&)>;

void rounds(PlayTally& tally, int draws, int code = 11) {
  for (int i = 0; i < draws; ++i) {
    const auto seat = static_cast<event::Seat>(i % 4);
    tally.draw(seat);
    tally.discard(tile(code), false, seat);
  }
}

// One row per draw: a play that brings it about, and plays that cannot.
TEST(draw_rules_test, a_draw_is_refused_where_its_play_could_not_bring_it_about) {
  struct Row {
    DrawKind kind;
    Play play;
    bool possible;
  };
  const Row rows[] = {
      {DrawKind::Exhaustive, [](PlayTally& t) { rounds(t, kLiveWallDraws); }, true},
      {DrawKind::Exhaustive, [](PlayTally& t) { rounds(t, 4); }, false},
      {DrawKind::Exhaustive, [](PlayTally& t) { rounds(t, kLiveWallDraws - 1), t.draw(1); }, false},  // no last discard
      {DrawKind::NagashiMangan, [](PlayTally& t) { rounds(t, kLiveWallDraws); }, true},
      {DrawKind::NagashiMangan, [](PlayTally& t) { rounds(t, 40); }, false},
      {DrawKind::NineTerminals, [](PlayTally& t) { rounds(t, 2), t.draw(2); }, true},
      {DrawKind::NineTerminals, [](PlayTally& t) { rounds(t, 5), t.draw(1); }, false},  // its second draw
      {DrawKind::NineTerminals, [](PlayTally& t) { rounds(t, 1), t.call(), t.draw(2); }, false},
      {DrawKind::FourRiichi,
       [](PlayTally& t) {
         for (event::Seat s = 0; s < 4; ++s) t.draw(s), t.discard(tile(11), true, s);
       },
       true},
      {DrawKind::FourRiichi,
       [](PlayTally& t) {
         for (event::Seat s = 0; s < 3; ++s) t.draw(s), t.discard(tile(11), true, s);
         t.draw(3), t.discard(tile(11), false, 3);
       },
       false},
      {DrawKind::FourKans,
       [](PlayTally& t) {
         for (int s : {0, 0, 1, 1}) t.kan(static_cast<event::Seat>(s), false), t.draw(static_cast<event::Seat>(s));
         t.discard(tile(12), false, 1);
       },
       true},
      {DrawKind::FourKans,
       [](PlayTally& t) {
         for (int i = 0; i < 4; ++i) t.kan(2, false), t.draw(2);  // one seat's four kans go on
         t.discard(tile(12), false, 2);
       },
       false},
      {DrawKind::FourKans, [](PlayTally& t) { rounds(t, 8); }, false},
      {DrawKind::FourWinds, [](PlayTally& t) { rounds(t, 4, 43); }, true},
      {DrawKind::FourWinds, [](PlayTally& t) { rounds(t, 4, 45); }, false},  // a dragon
      {DrawKind::FourWinds, [](PlayTally& t) { rounds(t, 5, 43); }, false},
      {DrawKind::FourWinds, [](PlayTally& t) { rounds(t, 3, 43), t.draw(3), t.discard(tile(44), false, 3); }, false},
      {DrawKind::TripleRon, [](PlayTally& t) { rounds(t, 9); }, true},
      {DrawKind::TripleRon, [](PlayTally& t) { rounds(t, 9), t.draw(1); }, false},
      {DrawKind::Other, [](PlayTally& t) { t.draw(0); }, true},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    PlayTally tally;
    rows[i].play(tally);
    EXPECT_EQ(!tally.impossible(rows[i].kind).has_value(), rows[i].possible) << "row " << i;
  }
}

}  // namespace
}  // namespace kiroku::conv
