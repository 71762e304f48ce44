// A seeded four-player game simulator that writes what it plays both as a
// Tenhou v6 log record and as the mjai events of the true order of play.
//
// Play is random but legal in its tile flow and turn order: a real wall of
// 136 tiles with one red five per suit, draws from the live wall and from the
// dead wall after kans, discards of the drawn tile and of other tiles, chi,
// pon, the three kinds of kan, riichi, wins on a discard (double ron too),
// on a robbed added kan and on a draw, exhaustive draws and abortive draws.
// Wins need no valid hand: they are declared at random points.
//
// The simulator can rig hands with traps: one seat is dealt two copies of a
// tile and another seat a pair of it, the first discards the tile twice, and
// the second waits for a chance to call it.  In the log the call then could
// belong to either discard, which is what makes ordering calls hard.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kiroku/event.h"
#include "kiroku/json_log.h"

namespace kiroku::sim {

struct SimSettings {
  std::string rule_disp = "般南喰赤";  // "東" in it makes an East-only game
  std::size_t max_hands = 12;          // the game stops here even if it would go on

  // Chances per decision.
  double tsumogiri = 0.45;           // discard the tile just drawn
  double riichi = 0.05;              // declare with a closed hand
  double tsumo_win = 0.010;          // win on a draw; grows with the turn
  double ron = 0.004;                // one seat wins on a discard; grows with the turn
  double chankan = 0.10;             // one seat robs an added kan
  double call = 0.30;                // take an offered chi or pon
  double open_kan = 0.60;            // take an offered daiminkan
  double closed_kan = 0.70;          // declare an ankan or kakan when possible
  double nine_terminals = 0.01;      // abort on a first draw (hand not checked)
  double kan_rig = 0.25;             // a seat is dealt a triplet, to make kans likely
  double kan_storm = 0.0;            // two seats are dealt two quads each
  double riichi_rush = 0.0;          // a hand where every seat declares riichi when it can, and nobody calls
  double trap = 0.0;                 // a hand is rigged with traps
  std::size_t max_traps = 2;         // traps per rigged hand
  double trap_call_at_once = 0.3;    // a trap's caller takes the first discard
  bool quote_names = false;          // player names that need JSON escapes
  std::array<std::string, 4> names;  // when empty, names are made from the seed
};

// What the property test uses for one seed: rigged hands, East-only and
// East-South games mixed.
SimSettings property_settings(std::uint64_t seed);

// A quieter game with no rigging, as people play.
SimSettings realistic_settings();

struct SimStats {
  std::size_t hands = 0;
  std::size_t traps_set = 0;
  std::size_t traps_sprung = 0;  // the caller called a trap's tile
};

struct SimulatedGame {
  JsonLog log;                // the record, as the log writer writes it
  std::vector<Event> events;  // the true order of play, "start_game" to "end_game"
  SimStats stats;
};

// Deterministic: the same seed and settings give the same game.
SimulatedGame simulate_game(std::uint64_t seed, const SimSettings& settings);

}  // namespace kiroku::sim
