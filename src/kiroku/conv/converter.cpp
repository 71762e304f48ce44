#include "kiroku/conv/converter.h"

#include <optional>
#include <unordered_set>
#include <utility>

#include "kiroku/conv/call_notation.h"
#include "kiroku/conv/call_resolution.h"
#include "kiroku/conv/hand_search.h"
#include "kiroku/conv/hand_walk.h"

namespace kiroku::conv {

namespace {

// What the hands of one log reuse: the decoded lists keep their buffers.
struct Workspace {
  DecodedHand decoded;
  std::unordered_set<CallMemory::Key, CallMemoryKeyHash> seen_memories;
};

// Events a log will have, about: one per entry, plus each hand's opening,
// doras, acceptances and result, plus the game's two.
std::size_t expected_event_count(const PreparedLog& log) {
  std::size_t count = 2;
  for (const PreparedHand& hand : log.hands) {
    count += 8;
    for (const SeatRecord& seat : hand.seats) count += seat.takes.size() + seat.discards.size();
  }
  return count;
}

std::expected<void, ConversionError> convert_hand(const PreparedHand& hand, Workspace& workspace,
                                                  std::vector<Event>& events, ConversionStats& stats) {
  DecodedHand& decoded = workspace.decoded;
  for (event::Seat seat = 0; seat < kSeatCount; ++seat) {
    if (auto read = decode_seat_lists(hand, seat, decoded.lists[seat]); !read) return read;
  }
  count_dahai(decoded);

  const std::size_t bound = attempt_bound(decoded);
  CallMemory memory;
  workspace.seen_memories.clear();
  std::optional<ConversionError> first_error;
  for (std::size_t attempts = 1;; ++attempts) {
    auto walked = walk_hand(hand, decoded, memory, events);
    if (attempts == 2) ++stats.hands_retried;
    if (walked) return {};
    if (!first_error) first_error = std::move(walked.error());
    // An attempt is fixed by the memory it starts from, so a repeated start
    // would only repeat a cycle of failures.
    if (memory.empty() || attempts == bound || !workspace.seen_memories.insert(memory.key()).second) break;
  }

  if (memory.choices() > 0) {
    ++stats.hands_searched;
    if (search_hand(hand, decoded, events, bound).found) return {};
  }
  return std::unexpected(std::move(*first_error));
}

}  // namespace

std::expected<std::vector<Event>, ConversionError> convert_log(const PreparedLog& log, ConversionStats* stats) {
  ConversionStats local;
  ConversionStats& counts = stats != nullptr ? *stats : local;
  counts = ConversionStats{};

  std::vector<Event> events;
  events.reserve(expected_event_count(log));
  events.push_back(event::StartGame{.names = log.names, .kyoku_first = log.kyoku_first, .aka_flag = log.aka_flag});
  Workspace workspace;
  for (std::size_t position = 0; position < log.hands.size(); ++position) {
    if (auto converted = convert_hand(log.hands[position], workspace, events, counts); !converted) {
      ConversionError error = std::move(converted.error());
      error.hand_position = position;
      return std::unexpected(std::move(error));
    }
    ++counts.hands;
  }
  events.push_back(event::EndGame{});
  return events;
}

}  // namespace kiroku::conv
