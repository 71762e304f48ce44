// Writes JSON fragments through a raw cursor: the event encoder's only tool.
//
// Performance notes: the encoder writes about 1,500 short texts per game, so
// the writer does no capacity checks of its own.  The caller reserves an
// upper bound of the text first (see the encoder's `max_text_size`), and
// every function here documents how many bytes it may write at most.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>  // memcpy
#include <span>
#include <string_view>

#include "kiroku/tile.h"

namespace kiroku::detail {

// A tile name with its quotes, in a slot of eight bytes so that it is copied
// with one fixed-size move.
struct QuotedTileName {
  std::array<char, 8> bytes{};
  std::uint8_t size = 0;
};

inline constexpr std::array<QuotedTileName, Tile::kCount> kQuotedTileNames = [] {
  std::array<QuotedTileName, Tile::kCount> names{};
  for (std::uint8_t i = 0; i < Tile::kCount; ++i) {
    const std::string_view name = kNameOfIndex[i];
    QuotedTileName& quoted = names[i];
    quoted.bytes[0] = '"';
    for (std::size_t c = 0; c < name.size(); ++c) quoted.bytes[c + 1] = name[c];
    quoted.bytes[name.size() + 1] = '"';
    quoted.size = static_cast<std::uint8_t>(name.size() + 2);
  }
  return names;
}();

// "00".."99", for writing numbers two digits per division.  Indexed by a
// value in [0, 100) times two.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

class JsonWriter {
 public:
  // Bytes a tile may write: its quoted name is copied in a slot of eight.
  static constexpr std::size_t kMaxTileBytes = 8;

  explicit JsonWriter(char* cursor) noexcept : cursor_(cursor) {}
  char* cursor() const noexcept { return cursor_; }

  // A literal that is already JSON (`,"actor":`): its size is known at
  // compile time, so the copy is a few moves rather than a call.
  template <std::size_t N>
  void literal(const char (&json)[N]) noexcept {
    std::memcpy(cursor_, json, N - 1);
    cursor_ += N - 1;
  }

  // Text that is already JSON.
  void raw(std::string_view json) noexcept {
    std::memcpy(cursor_, json.data(), json.size());
    cursor_ += json.size();
  }
  void raw(char c) noexcept { *cursor_++ = c; }

  // The first `size` bytes of a fixed-size slot, copied whole in one move;
  // writes N bytes, of which those past `size` are left for the next write
  // to overwrite.
  template <std::size_t N>
  void slot(const std::array<char, N>& bytes, std::size_t size) noexcept {
    std::memcpy(cursor_, bytes.data(), N);
    cursor_ += size;
  }

  // A JSON string: quotes, backslashes and control characters escaped; every
  // other byte, U+007F and non-ASCII included, copied unchanged.  Writes at
  // most 6 * text.size() + 2 bytes.
  void string(std::string_view text) noexcept;

  // At most 10 bytes.  Written straight from the last digit backwards, so
  // that no copy of variable length is needed.
  void unsigned_number(std::uint32_t value) noexcept {
    char* const end = cursor_ + digit_count(value);
    char* p = end;
    while (value >= 100) {
      p -= 2;
      std::memcpy(p, &kDigitPairs[(value % 100) * 2], 2);
      value /= 100;
    }
    if (value >= 10) {
      p -= 2;
      std::memcpy(p, &kDigitPairs[value * 2], 2);
    } else {
      *--p = static_cast<char>('0' + value);
    }
    cursor_ = end;
  }

  // At most 11 bytes.
  void signed_number(std::int32_t value) noexcept {
    // The magnitude in unsigned arithmetic, so that -2147483648 is exact.
    auto magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
      raw('-');
      magnitude = 0u - magnitude;
    }
    unsigned_number(magnitude);
  }

  // At most 5 bytes.
  void boolean(bool value) noexcept {
    if (value) {
      literal("true");
    } else {
      literal("false");
    }
  }

  // Tile names need no escaping.  At most kMaxTileBytes bytes, of which the
  // last ones past the name are left for the next write to overwrite.
  void tile(Tile tile) noexcept {
    const QuotedTileName& name = kQuotedTileNames[tile.index()];
    slot(name.bytes, name.size);
  }

  // At most 2 + 6 * tiles.size() + kMaxTileBytes bytes.
  void tiles(std::span<const Tile> tiles) noexcept {
    raw('[');
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      if (i != 0) raw(',');
      tile(tiles[i]);
    }
    raw(']');
  }

 private:
  // Decimal digits of `value`; 1 for 0.
  static constexpr int digit_count(std::uint32_t value) noexcept {
    int count = 1;
    for (; value >= 10; value /= 10) ++count;
    return count;
  }

  char* cursor_;
};

}  // namespace kiroku::detail
