// The simulator is only worth its games if they are legal and cover what the
// converter must handle; the replay checker is only worth its verdicts if it
// accepts the true order of play.  Both are checked here on the simulator's
// own order of play, before any converter is involved.
#include "sim/game_simulator.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "sim/game_features.h"
#include "sim/replay_checker.h"

namespace kiroku::sim {
namespace {

void expect_own_order_legal(std::uint64_t seed, const SimSettings& settings) {
  const SimulatedGame game = simulate_game(seed, settings);
  const auto checked = check_replay(game.events, game.log);
  if (!checked) {
    const std::size_t at = checked.error().event_index;
    ADD_FAILURE() << "seed " << seed << ", event " << at << " ("
                  << (at < game.events.size() ? describe_event(game.events[at]) : "past the end")
                  << "): " << checked.error().message;
  }
}

TEST(game_simulator_test, true_order_of_play_is_legal_and_rebuilds_the_log) {
  for (std::uint64_t seed = 1; seed <= 200; ++seed) expect_own_order_legal(seed, property_settings(seed));
  for (std::uint64_t seed = 1; seed <= 50; ++seed) expect_own_order_legal(seed, realistic_settings());
}

TEST(game_simulator_test, a_seed_gives_one_game) {
  const SimulatedGame a = simulate_game(42, property_settings(42));
  const SimulatedGame b = simulate_game(42, property_settings(42));
  EXPECT_EQ(a.log, b.log);
  EXPECT_EQ(a.events, b.events);
  EXPECT_NE(a.log, simulate_game(43, property_settings(42)).log);
}

TEST(game_simulator_test, property_games_cover_every_kind_of_play) {
  GameFeatures features;
  std::map<std::string, std::size_t> draw_labels;
  std::size_t traps_sprung = 0;
  bool east_only = false;
  bool east_south = false;
  for (std::uint64_t seed = 1; seed <= 300; ++seed) {
    const SimulatedGame game = simulate_game(seed, property_settings(seed));
    features += count_features(game.log);
    traps_sprung += game.stats.traps_sprung;
    (game.log.rule.disp.find("東") != std::string::npos ? east_only : east_south) = true;
    for (const JsonHand& hand : game.log.log) {
      if (const auto* label = std::get_if<std::string>(&hand.result.at(0)); label && *label != "和了") {
        ++draw_labels[*label];
      }
    }
  }
  SCOPED_TRACE(features.summary());
  EXPECT_TRUE(features.covers_everyday_play());
  EXPECT_GT(features.double_ron, 0u);
  EXPECT_GT(features.robbed_kan, 0u);
  EXPECT_GT(features.red_fives_called, 0u);
  EXPECT_GT(traps_sprung, 0u);
  for (const char* label : {"流局", "九種九牌", "四家立直", "四槓散了"}) EXPECT_GT(draw_labels[label], 0u) << label;
  EXPECT_TRUE(east_only && east_south);
}

}  // namespace
}  // namespace kiroku::sim
