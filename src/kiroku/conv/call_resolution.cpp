#include "kiroku/conv/call_resolution.h"

#include <algorithm>

namespace kiroku::conv {

bool CallMemory::call_now(Tile tile, bool either_way) {
  // The cell moves even when the answer cannot matter: the retry rule counts
  // every ambiguous call of the tile, and later answers depend on that count.
  if (!either_way) ++choices_;
  Cell& cell = cells_[tile.index()];
  switch (cell) {
    case Cell::Absent: cell = Cell::Taken; return true;
    case Cell::Taken: cell = Cell::Skipped; return false;
    case Cell::Skipped: cell = Cell::Absent; return false;
  }
  return false;
}

bool CallMemory::empty() const noexcept {
  return std::ranges::all_of(cells_, [](Cell cell) { return cell == Cell::Absent; });
}

CallMemory::Key CallMemory::key() const noexcept {
  Key key;
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const auto bits = static_cast<std::uint64_t>(cells_[i]);
    if (i < 32) {
      key.low |= bits << (2 * i);
    } else {
      key.high |= bits << (2 * (i - 32));
    }
  }
  return key;
}

event::Seat resolve_caller(const CallSituation& situation, CallAnswers& answers) {
  const auto next_seat = static_cast<event::Seat>((situation.discarder + 1) % kSeatCount);
  std::optional<event::Seat> best;
  std::int8_t best_rank = 0;
  for (event::Seat seat = 0; seat < kSeatCount; ++seat) {
    if (seat == situation.discarder || situation.next_takes[seat] == nullptr) continue;
    const auto claim = call_claim(*situation.next_takes[seat]);
    if (!claim || claim->target != situation.discarder || claim->pai != situation.last_tile) continue;
    if (!best || claim->rank >= best_rank) {  // >=: the later seat wins a tie
      best = seat;
      best_rank = claim->rank;
    }
  }
  if (!best) return next_seat;
  const bool ambiguous = situation.discards_left && situation.same_tile_left > 0;
  if (!ambiguous) return *best;
  return answers.call_now(situation.last_tile, *best == next_seat) ? *best : next_seat;
}

}  // namespace kiroku::conv
