// Finding a hand's order of play from its per-seat lists, as Tenhou's JSON
// log keeps them.
//
// The log keeps, per seat, what it took and what it discarded, each list in
// its own order.  A walk interleaves the eight lists: the seat to move takes
// its next take entry, then plays its next discard entry; after a discard,
// resolve_caller names the next seat.  It tells each step to a HandWriter,
// which adds what no list holds: "start_kyoku", "reach_accepted", the
// "dora" of each kan, and the result.
//
// Where the lists cannot tell when a call happened, the walk guesses, and a
// hand whose walk fails is walked again while its call memory holds a
// guess, and no longer once an attempt would start from a memory state it
// already started from (from then on the attempts would only repeat) or the
// hand's attempt bound is reached.  Then, if any guess could have gone the
// other way, the search tries the combinations the memory did not reach.  A
// hand that neither converts reports the error of its first attempt.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <unordered_set>
#include <vector>

#include "kiroku/conv/call_resolution.h"
#include "kiroku/conv/conversion_stats.h"
#include "kiroku/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_game.h"

namespace kiroku::conv {

// Per seat and tile, a number of discards.
using DahaiCounts = std::array<std::array<std::int32_t, Tile::kCount>, kSeatCount>;

// The "dahai" entries of each seat's discard list, by tile.
void count_dahai(const ListedPlay& play, DahaiCounts& counts);

// What the attempts at one hand read: its lists and their dahai counts.
struct ListedHand {
  const PreparedHand& hand;
  const ListedPlay& play;
  const DahaiCounts& dahai_counts;
};

// Walks the hand once, asking `answers` at every ambiguous call, and appends
// its events from "start_kyoku" to "end_kyoku" to `events`.  On failure
// `events` is left as it was found.  Reads every entry at most once.
//
// The hand is over when the seat to move has no discard entry left (a
// self-drawn win, or a draw declared instead of a discard) or when every
// take list is read after a discard (a win on that discard, the wall's end,
// or an abortive draw the discard brings about).  Either way every list must
// be read to its end: entries left over mean the order found is not the
// game's, and the attempt fails with UnreadEntries naming the first seat that
// has some.
[[nodiscard]] std::expected<void, ConversionError> walk_hand(const ListedHand& hand, CallAnswers& answers,
                                                             std::vector<Event>& events);

// How many attempts one hand may take, for the retry rule and again for the
// search: 10,000, or fewer for a hand so long that 10,000 walks of all its
// entries would read more than five million entries.  Real hands have at
// most a few hundred entries and get the full number; the limit only keeps
// a crafted log from holding one call for long.
inline constexpr std::size_t kMaxAttempts = 10'000;
inline constexpr std::size_t kMaxEntriesWalked = 5'000'000;
std::size_t attempt_bound(const ListedPlay& play) noexcept;

// The order of one hand, found by the retry rule and then the search, from
// hand to hand reusing its own buffers.
class OrderFinding {
 public:
  // Appends the hand's events; on failure `events` is left as it was found
  // and the error is that of the first attempt.  Counts into `stats`.
  [[nodiscard]] std::expected<void, ConversionError> convert_hand(const PreparedHand& hand, const ListedPlay& play,
                                                                  std::vector<Event>& events, ConversionStats& stats);

 private:
  DahaiCounts dahai_counts_{};
  std::unordered_set<CallMemory::Key, CallMemoryKeyHash> seen_memories_;
};

}  // namespace kiroku::conv
