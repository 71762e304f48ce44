#include "kiroku/conv/converter.h"

#include <optional>
#include <utility>

#include "kiroku/conv/call_notation.h"
#include "kiroku/conv/hand_search.h"
#include "kiroku/conv/whole_game.h"

namespace kiroku::conv {

namespace {

// Events a log will have, about: one per entry, plus each hand's opening,
// doras, acceptances and result, plus the game's two.
std::size_t expected_event_count(const PreparedJsonLog& log) {
  std::size_t count = 2;
  for (const PreparedHand& hand : log.hands) {
    count += 8;
    for (const JsonSeat& seat : hand.seats) count += seat.takes.size() + seat.discards.size();
  }
  return count;
}

}  // namespace

event::StartGame JsonLogConverter::start_game() const { return start_game_of(log_); }

std::expected<void, ConversionError> JsonLogConverter::convert_hand(std::size_t position, std::vector<Event>& events) {
  const PreparedHand& hand = log_.hands[position];
  auto failed = [&](ConversionError error) {
    error.hand_position = position;
    return std::unexpected(std::move(error));
  };
  for (event::Seat seat = 0; seat < kSeatCount; ++seat) {
    if (auto read = decode_seat_lists(hand, seat, decoded_.lists[seat]); !read) return failed(std::move(read.error()));
  }
  count_dahai(decoded_);

  const std::size_t bound = attempt_bound(decoded_);
  CallMemory memory;
  seen_memories_.clear();
  std::optional<ConversionError> first_error;
  for (std::size_t attempts = 1;; ++attempts) {
    auto walked = walk_hand(hand, decoded_, memory, events);
    if (attempts == 2) ++stats_.hands_retried;
    if (walked) {
      ++stats_.hands;
      return {};
    }
    if (!first_error) first_error = std::move(walked.error());
    // An attempt is fixed by the memory it starts from, so a repeated start
    // would only repeat a cycle of failures.
    if (memory.empty() || attempts == bound || !seen_memories_.insert(memory.key()).second) break;
  }

  if (memory.choices() > 0) {
    ++stats_.hands_searched;
    if (search_hand(hand, decoded_, events, bound).found) {
      ++stats_.hands;
      return {};
    }
  }
  return failed(std::move(*first_error));
}

std::expected<std::vector<Event>, ConversionError> convert_json_log(const PreparedJsonLog& log, ConversionStats* stats) {
  JsonLogConverter converter(log);
  return convert_whole_game(converter, expected_event_count(log), stats);
}

}  // namespace kiroku::conv
