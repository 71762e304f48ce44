// Following a hand's recorded order of play, as Tenhou's XML log keeps it.
//
// The record already holds the order, so each hand is walked once, step by
// step; what is checked is that the record can be a game: every tile id is
// dealt or drawn once, every discard, call and kan uses tiles the seat
// holds, every call takes the tile just discarded, every step comes in its
// turn, and every hand has a result.  Each step is told to a HandWriter,
// which places what the record leaves implicit as it does for the other
// source of steps.
#pragma once

#include <expected>
#include <vector>

#include "kiroku/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_game.h"

namespace kiroku::conv {

// Appends the hand's events, "start_kyoku" to "end_kyoku"; on failure
// `events` is left as it was found, and the error names the hand, its honba
// and, where one is to blame, the seat.
[[nodiscard]] std::expected<void, ConversionError> follow_order(const PreparedHand& hand, const RecordedPlay& play,
                                                                std::vector<Event>& events);

}  // namespace kiroku::conv
