#include "sim/hand_scoring.h"

namespace kiroku::sim::detail {

std::int32_t round_up_100(std::int32_t points) { return (points + 99) / 100 * 100; }

Scores win_deltas(std::size_t winner, std::size_t target, std::size_t dealer, std::int32_t value, std::int32_t honba,
                  std::int32_t sticks) {
  Scores deltas{};
  if (winner == target) {
    for (std::size_t s = 0; s < 4; ++s) {
      if (s == winner) continue;
      const std::int32_t share = winner == dealer ? value / 3 : (s == dealer ? value / 2 : value / 4);
      const std::int32_t pay = round_up_100(share) + 100 * honba;
      deltas[s] -= pay;
      deltas[winner] += pay;
    }
  } else {
    deltas[target] -= value + 300 * honba;
    deltas[winner] += value + 300 * honba;
  }
  deltas[winner] += kRiichiStick * sticks;
  return deltas;
}

Scores noten_payments(const std::array<bool, 4>& tenpai) {
  int count = 0;
  for (bool t : tenpai) count += t ? 1 : 0;
  Scores deltas{};
  for (std::size_t s = 0; s < 4; ++s) deltas[s] = tenpai[s] ? 3000 / count : -3000 / (4 - count);
  return deltas;
}

}  // namespace kiroku::sim::detail
