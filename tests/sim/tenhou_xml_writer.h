// A simulated game -> Tenhou's XML log text, from its true order of play.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "kiroku/event.h"
#include "kiroku/json_log.h"

namespace kiroku::sim {

// Writes the game as Tenhou records it: <GO>, <UN>, then per hand <INIT>
// with the starting hands as tile ids in dealing order, every draw, discard,
// call (bit-packed call codes), riichi step and new dora indicator where
// Tenhou writes them, and <AGARI> or <RYUUKYOKU>.  Each copy of a tile gets
// its own id (red fives ids 16, 52 and 88), and a discard of the drawn tile
// reuses the drawn tile's id.  `game_type_extra` is or-ed into the GO type
// (the three-player flag makes a game the reader must refuse).
//
// `log` is the game's record (names, rule, indicators, result labels) and
// `events` its true order of play, "start_game" to "end_game".
std::string write_tenhou_xml(const JsonLog& log, std::span<const Event> events, std::uint16_t game_type_extra = 0);

}  // namespace kiroku::sim
