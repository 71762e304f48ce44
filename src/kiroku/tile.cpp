#include "kiroku/tile.h"

#include <array>
#include <bit>      // popcount
#include <charconv>  // from_chars

#include "kiroku/utf8.h"

namespace kiroku {

namespace {

constexpr std::uint8_t kNoTile = 0xFF;
constexpr std::size_t kCodeTableSize = 54;  // codes 0..53; every larger byte is invalid

// Log code of each tile index, in index order.
constexpr std::array<std::uint8_t, Tile::kCount> kCodeOfIndex = {
    11, 12, 13, 14, 15, 16, 17, 18, 19,  // man
    21, 22, 23, 24, 25, 26, 27, 28, 29,  // pin
    31, 32, 33, 34, 35, 36, 37, 38, 39,  // sou
    41, 42, 43, 44,                      // winds
    45, 46, 47,                          // dragons
    51, 52, 53,                          // red fives
    0,                                   // placeholder
};

constexpr std::array<std::string_view, Tile::kCount> kNameOfIndex = {
    "1m", "2m", "3m", "4m", "5m", "6m", "7m", "8m", "9m",  //
    "1p", "2p", "3p", "4p", "5p", "6p", "7p", "8p", "9p",  //
    "1s", "2s", "3s", "4s", "5s", "6s", "7s", "8s", "9s",  //
    "E",  "S",  "W",  "N",  "P",  "F",  "C",               //
    "5mr", "5pr", "5sr", "?",
};

// Bit n is set when code n is a tile code.
constexpr std::uint64_t kValidCodeMask = [] {
  std::uint64_t mask = 0;
  for (std::uint8_t code : kCodeOfIndex) mask |= std::uint64_t{1} << code;
  return mask;
}();

// Tile index of each code below 54; kNoTile where the mask bit is clear.
constexpr std::array<std::uint8_t, kCodeTableSize> kIndexOfCode = [] {
  std::array<std::uint8_t, kCodeTableSize> table{};
  table.fill(kNoTile);
  for (std::uint8_t i = 0; i < Tile::kCount; ++i) table[kCodeOfIndex[i]] = i;
  return table;
}();

static_assert(std::popcount(kValidCodeMask) == Tile::kCount);

}  // namespace

std::optional<Tile> tile_from_code(std::uint8_t code) noexcept {
  if (code >= kCodeTableSize || ((kValidCodeMask >> code) & 1) == 0) return std::nullopt;
  return Tile::from_index(kIndexOfCode[code]);
}

std::uint8_t tile_code(Tile tile) noexcept { return kCodeOfIndex[tile.index()]; }

std::string_view tile_name(Tile tile) noexcept { return kNameOfIndex[tile.index()]; }

std::expected<Tile, InvalidTileCode> tile_from_text(std::string_view text) {
  // An unsigned parse accepts one leading '+'; from_chars does not, so it is
  // stripped here, and from_chars must then consume every remaining byte (it
  // refuses a sign, a second '+' and values above 255 by itself).
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::uint8_t code = 0;
  const char* end = digits.data() + digits.size();
  auto [ptr, ec] = std::from_chars(digits.data(), end, code);
  if (ec == std::errc{} && ptr == end && !digits.empty()) {
    if (auto tile = tile_from_code(code)) return *tile;
  }
  return std::unexpected(InvalidTileCode{decode_utf8_lossy(text)});
}

std::string invalid_tile_code_message(std::uint64_t value) {
  std::string message = "invalid value: " + std::to_string(value) + ", expected one of: ";
  bool first = true;
  for (std::uint8_t code = 0; code < kCodeTableSize; ++code) {
    if (((kValidCodeMask >> code) & 1) == 0) continue;
    if (!first) message += ", ";
    message += std::to_string(code);
    first = false;
  }
  return message;
}

}  // namespace kiroku
