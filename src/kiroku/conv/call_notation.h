// One seat's take and discard lists, read from the log's entries and call
// notation into events.
#pragma once

#include <array>
#include <expected>
#include <vector>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// One seat's part of a hand, each list in log order.  Every "reach" in the
// discards is directly followed by the "dahai" of its declaration.
struct SeatLists {
  std::vector<Event> takes;     // "tsumo", "chi", "pon", "daiminkan"
  std::vector<Event> discards;  // "dahai", "reach", "kakan", "ankan"
};

using HandLists = std::array<SeatLists, kSeatCount>;

// Reads the take and the discard list of `seat` into `out`, replacing what it
// held (its buffers are reused), and pairs each take with the discard step
// that follows it as the discards are read: a discard of the drawn tile gets
// the tile of its draw, and the code 0 placeholder the log writes where a
// daiminkan leaves no discard is dropped.  The whole take list is read before
// the discard list, entries in order; the first entry that does not read
// ends it with InvalidNotation, InvalidTileCode or UnexpectedNumber, carrying
// the hand's id and the seat (hand_position is left to the caller).  After a
// failure `out` holds whatever was read so far, the discards paired.
[[nodiscard]] std::expected<void, ConversionError> decode_seat_lists(const PreparedHand& hand, event::Seat seat,
                                                                     SeatLists& out);

}  // namespace kiroku::conv
