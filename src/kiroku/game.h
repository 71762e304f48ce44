// What every stage knows of a game alike, whatever its format: four seats,
// their scores, the starting hand's size and the three numbers that name a
// hand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kiroku/tile.h"

namespace kiroku {

inline constexpr std::size_t kSeatCount = 4;
inline constexpr std::size_t kStartingHandSize = 13;

using Scores = std::array<std::int32_t, kSeatCount>;
using StartingHand = std::array<Tile, kStartingHandSize>;

// The three numbers that name a hand, as both logs write them.
struct HandId {
  std::uint8_t hand_index = 0;  // 0 for East 1; the wind is hand_index / 4
  std::uint8_t honba = 0;
  std::uint8_t deposits = 0;  // riichi sticks on the table
  friend bool operator==(const HandId&, const HandId&) = default;
};

}  // namespace kiroku
