// PreparedXmlLog -> the game's events.  The record already keeps the order
// of play, so each hand is walked once, step by step; what is checked is
// that the record can be a game: every tile id is dealt or drawn once, every
// discard, call and kan uses tiles the seat holds, every call takes the tile
// just discarded, every step comes in its turn, and every hand has a result.
#pragma once

#include <cstddef>
#include <expected>
#include <vector>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/conv/conversion_stats.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// Converts a game one hand at a time, as JsonLogConverter does for the JSON log.
class XmlLogConverter {
 public:
  explicit XmlLogConverter(const PreparedXmlLog& log) noexcept : log_(log) {}

  std::size_t hand_count() const noexcept { return log_.hands.size(); }
  event::StartGame start_game() const;

  // Appends the events of the hand at `position`, from "start_kyoku" to
  // "end_kyoku"; the error names the hand, its honba and, where one is to
  // blame, the seat.
  [[nodiscard]] std::expected<void, ConversionError> convert_hand(std::size_t position, std::vector<Event>& events);

  const ConversionStats& stats() const noexcept { return stats_; }

 private:
  const PreparedXmlLog& log_;
  ConversionStats stats_;
};

// The whole game from "start_game" to "end_game", or the first hand's error.
// Deterministic; never returns part of a game.
[[nodiscard]] std::expected<std::vector<Event>, ConversionError> convert_xml_log(const PreparedXmlLog& log,
                                                                                  ConversionStats* stats = nullptr);

}  // namespace kiroku::conv
