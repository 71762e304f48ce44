// The tile vocabulary: 34 plain tiles, three red fives and a placeholder.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
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

inline constexpr std::array<std::string_view, Tile::kCount> kNameOfIndex = {
    "1m",  "2m",  "3m",  "4m", "5m", "6m", "7m", "8m", "9m",  //
    "1p",  "2p",  "3p",  "4p", "5p", "6p", "7p", "8p", "9p",  //
    "1s",  "2s",  "3s",  "4s", "5s", "6s", "7s", "8s", "9s",  //
    "E",   "S",   "W",   "N",  "P",  "F",  "C",               //
    "5mr", "5pr", "5sr", "?",
};

}  // namespace detail

// The mjai name: "1m".."9s", "E", "S", "W", "N", "P", "F", "C", "5mr",
// "5pr", "5sr", "?".  The view refers to static storage.
inline std::string_view tile_name(Tile tile) noexcept { return detail::kNameOfIndex[tile.index()]; }

}  // namespace kiroku
