// The tile vocabulary: 34 plain tiles, three red fives and a placeholder.
#pragma once

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

// The tile of a log code, or nothing when the byte is not one of the 38
// tile codes.  Code 0 is a real code: the placeholder.
std::optional<Tile> tile_from_code(std::uint8_t code) noexcept;

// The log code of a tile (0 for the placeholder).
std::uint8_t tile_code(Tile tile) noexcept;

// The mjai name: "1m".."9s", "E", "S", "W", "N", "P", "F", "C", "5mr",
// "5pr", "5sr", "?".  The view refers to static storage.
std::string_view tile_name(Tile tile) noexcept;

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
