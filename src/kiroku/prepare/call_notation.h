// One seat's take and discard lists of the JSON log, decoded from its
// entries and call notation.
#pragma once

#include <expected>

#include "kiroku/conversion_error.h"
#include "kiroku/json_log.h"
#include "kiroku/prepared_game.h"

namespace kiroku {

// Reads the take and the discard list of `record`, the lists of `seat` in
// hand `hand`, into `out`, replacing what it held (its buffers are reused),
// and pairs each take with the discard step that follows it as the discards
// are read: a tsumogiri gets the tile of its draw, and the code 0
// placeholder the log writes where a daiminkan leaves no discard is
// dropped.  The whole take list is read before the discard list, entries in
// order; the first entry that does not read ends it with InvalidNotation,
// InvalidTileCode or UnexpectedNumber, carrying the hand's id and the seat
// (hand_position is left to the caller).  After a failure `out` holds
// whatever was read so far, the discards paired.
[[nodiscard]] std::expected<void, ConversionError> decode_seat_lists(const JsonSeat& record, HandId hand,
                                                                     event::Seat seat, SeatLists& out);

}  // namespace kiroku
