// PreparedJsonLog -> the game's events in order of play.
#pragma once

#include <cstddef>
#include <expected>
#include <unordered_set>
#include <vector>

#include "kiroku/conv/call_resolution.h"
#include "kiroku/conv/conversion_error.h"
#include "kiroku/conv/conversion_stats.h"
#include "kiroku/conv/hand_walk.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// Converts a game one hand at a time, so that a caller can write each
// hand's events away before the next: a game's events in memory take many
// times the room of its log.
//
// A hand whose walk fails is walked again while its call memory holds a
// guess, and no longer once an attempt would start from a memory state it
// already started from (from then on the attempts would only repeat) or the
// hand's attempt bound is reached.  Then, if any guess could have gone the
// other way, the search tries the combinations the memory did not reach.  A
// hand that neither converts reports the error of its first attempt.
class JsonLogConverter {
 public:
  explicit JsonLogConverter(const PreparedJsonLog& log) noexcept : log_(log) {}

  std::size_t hand_count() const noexcept { return log_.hands.size(); }
  event::StartGame start_game() const;

  // Appends the events of the hand at `position`, from "start_kyoku" to
  // "end_kyoku"; on failure `events` is left as it was found.
  [[nodiscard]] std::expected<void, ConversionError> convert_hand(std::size_t position, std::vector<Event>& events);

  // Counts the hands converted so far, and the hand that failed.
  const ConversionStats& stats() const noexcept { return stats_; }

 private:
  const PreparedJsonLog& log_;
  ConversionStats stats_;
  // Reused from hand to hand: the decoded lists keep their buffers.
  DecodedHand decoded_;
  std::unordered_set<CallMemory::Key, CallMemoryKeyHash> seen_memories_;
};

// The whole game from "start_game" to "end_game", or the first hand's error.
// Deterministic; never returns part of a game.  `stats`, when given, is
// overwritten.
[[nodiscard]] std::expected<std::vector<Event>, ConversionError> convert_json_log(const PreparedJsonLog& log,
                                                                             ConversionStats* stats = nullptr);

}  // namespace kiroku::conv
