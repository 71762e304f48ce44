// A whole game's events from a converter that works hand by hand
// (JsonLogConverter, XmlLogConverter), for callers that want them all at once.
#pragma once

#include <cstddef>
#include <expected>
#include <utility>
#include <vector>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/conv/conversion_stats.h"
#include "kiroku/event.h"

namespace kiroku::conv {

// "start_game" from what both prepared logs hold alike.
template <class PreparedGame>
event::StartGame start_game_of(const PreparedGame& log) {
  return {.names = log.names, .kyoku_first = log.kyoku_first, .aka_flag = log.aka_flag};
}

template <class HandConverter>
std::expected<std::vector<Event>, ConversionError> convert_whole_game(HandConverter& converter,
                                                                      std::size_t expected_events,
                                                                      ConversionStats* stats) {
  std::vector<Event> events;
  events.reserve(expected_events);
  events.push_back(converter.start_game());
  std::expected<void, ConversionError> converted;
  for (std::size_t position = 0; converted && position < converter.hand_count(); ++position) {
    converted = converter.convert_hand(position, events);
  }
  if (stats != nullptr) *stats = converter.stats();
  if (!converted) return std::unexpected(std::move(converted.error()));
  events.push_back(event::EndGame{});
  return events;
}

}  // namespace kiroku::conv
