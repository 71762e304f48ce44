// The tiles as Tenhou's JSON log writes them: numeric codes 11..19 (man),
// 21..29 (pin), 31..39 (sou), 41..47 (winds and dragons), 51..53 (red fives)
// and 0 (a tile not given), in lists and as two-digit fields of call
// notation.
#pragma once

#include <array>
#include <bit>  // popcount
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kiroku/tile.h"

namespace kiroku {

namespace detail {

inline constexpr std::uint8_t kNoTile = 0xFF;
inline constexpr std::size_t kCodeTableSize = 54;  // codes 0..53; every larger byte is invalid

// Log code of each tile index, in index order.
inline constexpr std::array<std::uint8_t, Tile::kCount> kCodeOfIndex = {
    11, 12, 13, 14, 15, 16, 17, 18, 19,  // man
    21, 22, 23, 24, 25, 26, 27, 28, 29,  // pin
    31, 32, 33, 34, 35, 36, 37, 38, 39,  // sou
    41, 42, 43, 44,                      // winds
    45, 46, 47,                          // dragons
    51, 52, 53,                          // red fives
    0,                                   // placeholder
};

// Bit n is set when code n is a tile code.
inline constexpr std::uint64_t kValidCodeMask = [] {
  std::uint64_t mask = 0;
  for (std::uint8_t code : kCodeOfIndex) mask |= std::uint64_t{1} << code;
  return mask;
}();

// Tile index of each code below 54; kNoTile where the mask bit is clear.
inline constexpr std::array<std::uint8_t, kCodeTableSize> kIndexOfCode = [] {
  std::array<std::uint8_t, kCodeTableSize> table{};
  table.fill(kNoTile);
  for (std::uint8_t i = 0; i < Tile::kCount; ++i) table[kCodeOfIndex[i]] = i;
  return table;
}();

static_assert(std::popcount(kValidCodeMask) == Tile::kCount);

}  // namespace detail

// The tile of a log code, or nothing when the byte is not one of the 38
// tile codes.  Code 0 is a real code: the placeholder.  Inline: the reader
// calls it for every tile of the log.
inline std::optional<Tile> tile_from_code(std::uint8_t code) noexcept {
  if (code >= detail::kCodeTableSize || ((detail::kValidCodeMask >> code) & 1) == 0) return std::nullopt;
  return Tile::from_index(detail::kIndexOfCode[code]);
}

// The log code of a tile (0 for the placeholder).
inline std::uint8_t tile_code(Tile tile) noexcept { return detail::kCodeOfIndex[tile.index()]; }

// A tile field of call notation that does not read as a tile code.  Holds
// the two bytes as text, invalid UTF-8 replaced by U+FFFD.
struct InvalidTileCode {
  std::string text;
  friend bool operator==(const InvalidTileCode&, const InvalidTileCode&) = default;
};

// Reads a tile from exactly two bytes of call notation: an unsigned decimal
// ("00".."99" or "+" and a digit) that is a tile code.  Precondition:
// text.size() == 2.
std::expected<Tile, InvalidTileCode> tile_from_text(std::string_view text);

// The reader's message for an integer that is not a tile code:
// "invalid value: 60, expected one of: 0, 11, ..., 53".
std::string invalid_tile_code_message(std::uint64_t value);

}  // namespace kiroku
