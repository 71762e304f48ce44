// One attempt at putting a hand back into its order of play.
//
// The log keeps, per seat, what it took and what it discarded, each list in
// its own order.  The walk interleaves the eight lists: the seat to move
// takes its next take entry, then plays its next discard entry; after a
// discard, resolve_caller names the next seat.  It tells each step to a
// HandWriter, which adds what no list holds: "start_kyoku", "reach_accepted",
// the "dora" of each kan, and the result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <vector>

#include "kiroku/conv/call_notation.h"
#include "kiroku/conv/call_resolution.h"
#include "kiroku/conv/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// Per seat and tile, a number of discards.
using DahaiCounts = std::array<std::array<std::int32_t, Tile::kCount>, kSeatCount>;

// What every attempt of one hand reads; built once per hand.
struct DecodedHand {
  HandLists lists;
  DahaiCounts dahai_counts{};  // the "dahai" entries of each seat's discard list
};

// Fills `decoded.dahai_counts` from `decoded.lists`.
void count_dahai(DecodedHand& decoded);

// Walks the hand once, asking `answers` at every ambiguous call, and appends
// its events from "start_kyoku" to "end_kyoku" to `events`.  On failure
// `events` is left as it was found and the error carries the hand's id (its
// hand_position is left to the caller).  Reads every entry at most once.
//
// The hand is over when the seat to move has no discard entry left (a
// self-drawn win, or a draw declared instead of a discard) or when every
// take list is read after a discard (a win on that discard, the wall's end,
// or an abortive draw the discard brings about).  Either way every list must
// be read to its end: entries left over mean the order found is not the
// game's, and the attempt fails with UnreadEntries naming the first seat that
// has some.
[[nodiscard]] std::expected<void, ConversionError> walk_hand(const PreparedHand& hand, const DecodedHand& decoded,
                                                             CallAnswers& answers, std::vector<Event>& events);

// How many attempts one hand may take, for the retry rule and again for the
// search: 10,000, or fewer for a hand so long that 10,000 walks of all its
// entries would read more than five million entries.  Real hands have at
// most a few hundred entries and get the full number; the limit only keeps
// a crafted log from holding one call for long.
inline constexpr std::size_t kMaxAttempts = 10'000;
inline constexpr std::size_t kMaxEntriesWalked = 5'000'000;
std::size_t attempt_bound(const DecodedHand& decoded) noexcept;

// The "start_kyoku" of a hand; its dora indicator list must not be empty.
event::StartKyoku start_kyoku(const PreparedHand& hand);

}  // namespace kiroku::conv
