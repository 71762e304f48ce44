// Replays an mjai event stream of a whole game against the log it was made
// from, and says whether it is a legal game that rebuilds the log exactly.
//
// Legal means: every hand opens as the log says; every discarded, called or
// kanned tile is in the hand of the seat that uses it; the turn order can
// happen (after a discard comes a call of that tile from that seat, the
// next seat's draw, or the hand's result); tsumogiri flags fit the tile just
// drawn; chi, pon and kan targets are the discarder; riichi is declared by a
// closed hand, accepted before the next take (the fourth, before the
// four-riichi draw) and followed by discards of the drawn tile only; every
// kan's "dora" stands where the order of play puts it
// (right after a closed kan, after an open kan's replacement draw and
// before the next discard that is not a riichi declaration, or before the
// next kan) with the log's next indicator; the results are the log's.
// Rebuilds exactly means: each seat's events, written back in the log's
// notation, give the log's take and discard lists entry for entry.
#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>

#include "kiroku/event.h"
#include "kiroku/json_log.h"

namespace kiroku::sim {

struct ReplayProblem {
  std::size_t event_index = 0;  // where in the stream the problem showed
  std::string message;
};

[[nodiscard]] std::expected<void, ReplayProblem> check_replay(std::span<const Event> events, const JsonLog& log);

// One event as a short text for messages: "dahai 2 5mr tsumogiri".
std::string describe_event(const Event& event);

}  // namespace kiroku::sim
