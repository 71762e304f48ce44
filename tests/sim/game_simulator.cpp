#include "sim/game_simulator.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "sim/hand_simulator.h"
#include "sim/sim_rng.h"

namespace kiroku::sim {

SimSettings property_settings(std::uint64_t seed) {
  SimSettings settings;
  settings.rule_disp = seed % 3 == 0 ? "般東喰赤" : "般南喰赤";
  settings.max_hands = 10;
  settings.trap = 0.6;
  settings.kan_storm = 0.02;
  settings.riichi_rush = 0.02;
  settings.quote_names = seed % 5 == 0;
  return settings;
}

SimSettings realistic_settings() {
  SimSettings settings;
  settings.rule_disp = "般南喰赤";
  settings.max_hands = 20;
  settings.tsumogiri = 0.4;
  settings.riichi = 0.03;
  settings.call = 0.18;
  settings.nine_terminals = 0.0;
  settings.kan_rig = 0.15;
  settings.trap = 0.0;
  settings.names = {"さくら", "Kaito", "ぽん太", "Lin Wei"};
  return settings;
}

namespace {

std::array<std::string, 4> player_names(std::uint64_t seed, const SimSettings& settings) {
  if (!settings.names[0].empty()) return settings.names;
  if (settings.quote_names) return {"sim \"A\"", "sim\\B", "sim\tC", "シム D"};
  const std::string tag = std::to_string(seed);
  return {"sim-A-" + tag, "sim-B-" + tag, "sim-C-" + tag, "sim-D-" + tag};
}

}  // namespace

SimulatedGame simulate_game(std::uint64_t seed, const SimSettings& settings) {
  Rng rng(seed);
  SimulatedGame game;
  JsonLog& log = game.log;
  log.name = player_names(seed, settings);
  log.rule = Rule{settings.rule_disp, 1, 0, 0, 0};
  log.ratingc = "PF4";
  log.lobby = 0;
  log.dan = std::vector<std::string>{"新人", "9級", "初段", "七段"};
  log.rate = std::vector<double>{1500.0, 1612.5, 1733.25, 2021.0};
  log.sx = std::vector<std::string>{"M", "F", "M", "C"};

  const bool east_only = settings.rule_disp.find("東") != std::string::npos;
  const std::uint8_t last_hand_index = east_only ? 3 : 7;
  game.events.push_back(event::StartGame{log.name, static_cast<std::uint8_t>(east_only ? 4 : 0), true});

  detail::HandSetup setup;
  setup.scores = {25000, 25000, 25000, 25000};
  while (log.log.size() < settings.max_hands) {
    detail::HandOutcome outcome = detail::simulate_hand(rng, settings, setup);
    log.log.push_back(std::move(outcome.entry));
    std::move(outcome.events.begin(), outcome.events.end(), std::back_inserter(game.events));
    ++game.stats.hands;
    game.stats.traps_set += outcome.traps_set;
    game.stats.traps_sprung += outcome.traps_sprung;

    for (std::size_t s = 0; s < 4; ++s) setup.scores[s] += outcome.score_change[s];
    HandId& id = setup.id;
    if (outcome.dealer_continues) {
      ++id.honba;
    } else {
      ++id.hand_index;
      id.honba = outcome.won ? 0 : static_cast<std::uint8_t>(id.honba + 1);
    }
    id.deposits = outcome.deposits_left;
    const bool busted = std::any_of(setup.scores.begin(), setup.scores.end(), [](std::int32_t s) { return s < 0; });
    if (busted || id.hand_index > last_hand_index) break;
  }
  game.events.push_back(event::EndGame{});
  return game;
}

}  // namespace kiroku::sim
