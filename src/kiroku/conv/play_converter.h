// PreparedPlayLog -> the game's events.  The record already keeps the order
// of play, so each hand is walked once, step by step; what is checked is
// that the record can be a game: every tile id is dealt or drawn once, every
// discard, call and kan uses tiles the seat holds, every call takes the tile
// just discarded, every step comes in its turn, and every hand has a result.
#pragma once

#include <expected>
#include <vector>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/conv/converter.h"  // ConversionStats
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// The whole game from "start_game" to "end_game", or the first hand's error
// (which names the hand, its honba and, where one is to blame, the seat).
// Deterministic; never returns part of a game.
[[nodiscard]] std::expected<std::vector<Event>, ConversionError> convert_play_log(const PreparedPlayLog& log,
                                                                                  ConversionStats* stats = nullptr);

}  // namespace kiroku::conv
