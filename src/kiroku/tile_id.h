// The tiles as Tenhou's XML log writes them: the 136 physical tiles by id.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kiroku/tile.h"

namespace kiroku {

// One of the 136 physical tiles, numbered as Tenhou's XML log numbers them:
// the tile's kind times four plus its copy (0..3), kinds in the order of the
// plain tile indices (1m..9m, 1p..9p, 1s..9s, E S W N, P F C).  In a game with
// red fives, copy 0 of each five is the red one: ids 16, 52 and 88.
using TileId = std::uint8_t;
inline constexpr std::size_t kTileIdCount = 136;

inline constexpr bool is_red_five_id(TileId id) noexcept { return id == 16 || id == 52 || id == 88; }

namespace detail {

// Tile index of each physical tile id, without red fives (row 0) and with
// them (row 1): a table, as the XML path converts every drawn tile.
inline constexpr std::array<std::array<std::uint8_t, kTileIdCount>, 2> kIndexOfId = [] {
  constexpr std::uint8_t kFirstRedFive = 34;  // 5mr, then 5pr and 5sr
  std::array<std::array<std::uint8_t, kTileIdCount>, 2> table{};
  for (std::size_t id = 0; id < kTileIdCount; ++id) {
    table[0][id] = static_cast<std::uint8_t>(id / 4);
    table[1][id] = is_red_five_id(static_cast<TileId>(id)) ? static_cast<std::uint8_t>(kFirstRedFive + id / 36)
                                                           : static_cast<std::uint8_t>(id / 4);
  }
  return table;
}();

}  // namespace detail

// The tile of a physical tile.  Precondition: id < kTileIdCount.
inline Tile tile_of_id(TileId id, bool red_fives) noexcept {
  return *Tile::from_index(detail::kIndexOfId[red_fives ? 1 : 0][id]);
}

}  // namespace kiroku
