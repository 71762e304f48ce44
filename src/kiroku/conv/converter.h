// PreparedLog -> the game's events in order of play.
#pragma once

#include <cstddef>
#include <expected>
#include <vector>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// How hard the hands were to put in order; for diagnostics only.  Counts the
// hands walked, up to and including a hand that failed.
struct ConversionStats {
  std::size_t hands = 0;           // converted
  std::size_t hands_retried = 0;   // needed more than one attempt
  std::size_t hands_searched = 0;  // needed the search past the retry rule
};

// The whole game from "start_game" to "end_game", or the first hand's error.
// Deterministic; never returns part of a game.  `stats`, when given, is
// overwritten.
//
// A hand whose walk fails is walked again while its call memory holds a
// guess, and no longer once an attempt would start from a memory state it
// already started from (from then on the attempts would only repeat) or the
// hand's attempt bound is reached.  Then, if any guess could have gone the
// other way, the search tries the combinations the memory did not reach.  A
// hand that neither converts reports the error of its first attempt.
[[nodiscard]] std::expected<std::vector<Event>, ConversionError> convert_log(const PreparedLog& log,
                                                                             ConversionStats* stats = nullptr);

}  // namespace kiroku::conv
