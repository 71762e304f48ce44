#include "kiroku/conv/hand_writer.h"

#include <gtest/gtest.h>

#include "hand_builder.h"

namespace kiroku::conv {
namespace {

using testing::HandBuilder;
using testing::tile;

// What HandWriter::finish appends for the result of `hand`.
void finish(const PreparedHand& hand, std::vector<Event>& events) {
  HandWriter(hand, events).finish();
}

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

}  // namespace
}  // namespace kiroku::conv
