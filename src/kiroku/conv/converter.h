// The converter's one entry: a prepared game -> its events, a hand at a
// time, whatever log the game was read from.  Each hand's play is one of two
// sources of steps: per-seat lists whose order is found (order_finding.h) or
// a record already in order that is followed (order_following.h).  Both
// tell their steps to one HandWriter, which opens the hand, places what a
// log leaves implicit and closes it.
#pragma once

#include <expected>
#include <vector>

#include "kiroku/conv/conversion_stats.h"
#include "kiroku/conv/order_finding.h"
#include "kiroku/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_game.h"

namespace kiroku::conv {

// Hand by hand, so that a caller can write each hand's events away before
// the next: a game's events in memory take many times the room of its log.
// Deterministic.
class Converter {
 public:
  explicit Converter(const PreparedGame& game) noexcept : game_(game) {}

  event::StartGame start_game() const {
    return {.names = game_.names, .kyoku_first = game_.kyoku_first, .aka_flag = game_.aka_flag};
  }

  // Appends the hand's events, from "start_kyoku" to "end_kyoku"; on
  // failure `events` is left as it was found.
  [[nodiscard]] std::expected<void, ConversionError> convert_hand(const PreparedHand& hand, std::vector<Event>& events);

  // Counts the hands converted so far, and the hand that failed.
  const ConversionStats& stats() const noexcept { return stats_; }

 private:
  const PreparedGame& game_;
  ConversionStats stats_;
  OrderFinding order_finding_;  // keeps its buffers from hand to hand
};

}  // namespace kiroku::conv
