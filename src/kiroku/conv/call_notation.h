// One seat's take and discard lists, read from the log's entries and call
// notation.
#pragma once

#include <array>
#include <expected>
#include <vector>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/conv/list_entry.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// One seat's part of a hand, each list in log order.
struct SeatLists {
  std::vector<ListEntry> takes;     // Tsumo, Chi, Pon, Daiminkan
  std::vector<ListEntry> discards;  // Dahai, Kakan, Ankan
};

using HandLists = std::array<SeatLists, kSeatCount>;

// Reads the take and the discard list of `seat` into `out`, replacing what it
// held (its buffers are reused), and pairs each take with the discard step
// that follows it as the discards are read: a tsumogiri gets the tile of its
// draw, and the code 0 placeholder the log writes where a daiminkan leaves
// no discard is dropped.  The whole take list is read before the discard
// list, entries in order; the first entry that does not read ends it with
// InvalidNotation, InvalidTileCode or UnexpectedNumber, carrying the hand's
// id and the seat (hand_position is left to the caller).  After a failure
// `out` holds whatever was read so far, the discards paired.
[[nodiscard]] std::expected<void, ConversionError> decode_seat_lists(const PreparedHand& hand, event::Seat seat,
                                                                     SeatLists& out);

}  // namespace kiroku::conv
