// Tile arithmetic the simulator and the replay checker need beyond the
// converter's vocabulary: a red five counts as a five of its suit when melds
// are formed and copies are counted.
#pragma once

#include <cstdint>

#include "kiroku/tile.h"

namespace kiroku::sim {

// 34 kinds: man 1-9, pin 1-9, sou 1-9, winds, dragons (tile indices 0..33).
inline constexpr std::uint8_t kKindCount = 34;
inline constexpr std::uint8_t kRedFiveIndex[3] = {34, 35, 36};  // 5mr, 5pr, 5sr

inline Tile tile_at(std::uint8_t index) { return *Tile::from_index(index); }

inline bool is_red(Tile tile) { return tile.index() >= 34 && tile.index() <= 36; }

// The kind of a tile; red fives fold onto the plain five of their suit.
inline std::uint8_t kind_of(Tile tile) {
  return is_red(tile) ? static_cast<std::uint8_t>((tile.index() - 34) * 9 + 4) : tile.index();
}

inline bool is_suited_kind(std::uint8_t kind) { return kind < 27; }
inline int suit_of_kind(std::uint8_t kind) { return kind / 9; }
inline int number_of_kind(std::uint8_t kind) { return kind % 9 + 1; }  // suited kinds only
inline bool is_terminal_or_honor_kind(std::uint8_t kind) {
  return !is_suited_kind(kind) || number_of_kind(kind) == 1 || number_of_kind(kind) == 9;
}

// Orders tiles as Tenhou sorts a starting hand: by kind, a red five right
// after the plain fives of its suit.
inline int sort_key(Tile tile) { return kind_of(tile) * 2 + (is_red(tile) ? 1 : 0); }

}  // namespace kiroku::sim
