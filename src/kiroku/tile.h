// The tile vocabulary: 34 plain tiles, three red fives and a placeholder.
#pragma once

#include <array>
#include <bit>  // popcount
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace kiroku {

// One tile as an index 0..37: man 1-9, pin 1-9, sou 1-9, the four winds,
// the three dragons, the red fives of man, pin and sou, and last the
// placeholder "?" for a tile the log does not give.  No other index is ever
// formed, so every Tile has a log code and an mjai name.
class Tile {
 public:
  static constexpr std::uint8_t kCount = 38;
  static constexpr std::uint8_t kPlaceholderIndex = 37;

  // The placeholder: a tile that is not known yet.
  constexpr Tile() noexcept = default;

  // The tile with this index, or nothing for an index of 38 or more.
  static constexpr std::optional<Tile> from_index(std::uint8_t index) noexcept {
    if (index >= kCount) return std::nullopt;
    return Tile(index);
  }

  constexpr std::uint8_t index() const noexcept { return index_; }
  constexpr bool is_placeholder() const noexcept { return index_ == kPlaceholderIndex; }

  friend constexpr bool operator==(Tile, Tile) noexcept = default;

 private:
  constexpr explicit Tile(std::uint8_t index) noexcept : index_(index) {}
  std::uint8_t index_ = kPlaceholderIndex;
};

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

inline constexpr std::array<std::string_view, Tile::kCount> kNameOfIndex = {
    "1m",  "2m",  "3m",  "4m", "5m", "6m", "7m", "8m", "9m",  //
    "1p",  "2p",  "3p",  "4p", "5p", "6p", "7p", "8p", "9p",  //
    "1s",  "2s",  "3s",  "4s", "5s", "6s", "7s", "8s", "9s",  //
    "E",   "S",   "W",   "N",  "P",  "F",  "C",               //
    "5mr", "5pr", "5sr", "?",
};

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

// The mjai name: "1m".."9s", "E", "S", "W", "N", "P", "F", "C", "5mr",
// "5pr", "5sr", "?".  The view refers to static storage.
inline std::string_view tile_name(Tile tile) noexcept { return detail::kNameOfIndex[tile.index()]; }

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
