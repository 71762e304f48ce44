// Score changes of a hand's end, in the log's form.  The points of a win are
// picked by the simulator, not counted from the hand; what matters is that
// the payments add up as the game's rules share them out.
#pragma once

#include <array>
#include <cstdint>

#include "kiroku/json_log.h"

namespace kiroku::sim::detail {

inline constexpr std::int32_t kRiichiStick = 1000;

// `value` is what the win is worth (already raised for a dealer's win).  A
// win on a draw (target == winner) is paid by all three others: a dealer's
// in equal thirds, a non-dealer's half by the dealer and a quarter by each of
// the others.  Each honba adds 300 points, spread over the payers; the
// riichi sticks on the table go to the winner.
Scores win_deltas(std::size_t winner, std::size_t target, std::size_t dealer, std::int32_t value, std::int32_t honba,
                  std::int32_t sticks);

// The 3000 points of an exhaustive draw, shared between the seats in
// tenpai and paid by the others.  Precondition: one to three seats in tenpai.
Scores noten_payments(const std::array<bool, 4>& tenpai);

std::int32_t round_up_100(std::int32_t points);

}  // namespace kiroku::sim::detail
