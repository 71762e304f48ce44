// One hand of the simulated game: deal, play and result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kiroku/event.h"
#include "kiroku/json_log.h"
#include "sim/game_simulator.h"
#include "sim/sim_rng.h"

namespace kiroku::sim::detail {

struct HandSetup {
  HandId id;
  Scores scores{};
};

struct HandOutcome {
  JsonHand entry;             // the log's record of the hand, result included
  std::vector<Event> events;  // "start_kyoku" to "end_kyoku", in the order played
  bool dealer_continues = false;
  bool dealer_won = false;
  bool won = false;                // some seat won: honba and deposits are cleared
  Scores score_change{};           // result deltas less the riichi sticks put down
  std::uint8_t deposits_left = 0;  // sticks on the table for the next hand
  std::size_t traps_set = 0;
  std::size_t traps_sprung = 0;
};

HandOutcome simulate_hand(Rng& rng, const SimSettings& settings, const HandSetup& setup);

}  // namespace kiroku::sim::detail
