// PreparedLog -> the game's events in order of play.
#pragma once

#include <cstddef>
#include <expected>
#include <vector>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// How hard the hands were to put in order; for diagnostics only.
struct ConversionStats {
  std::size_t hands = 0;
  std::size_t hands_retried = 0;   // needed more than one attempt
  std::size_t hands_searched = 0;  // needed the search past the retry rule
};

// The whole game from "start_game" to "end_game", or the first hand's error.
// Deterministic; never returns part of a game.
[[nodiscard]] std::expected<std::vector<Event>, ConversionError> convert_log(const PreparedLog& log,
                                                                             ConversionStats* stats = nullptr);

}  // namespace kiroku::conv
