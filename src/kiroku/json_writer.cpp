#include "kiroku/json_writer.h"

#include <array>
#include <cstring>  // memcpy

namespace kiroku::detail {

namespace {

// "00".."99": two digits per division when writing a number.  Indexed by a
// value in [0, 100) times two.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// The escape of each byte below 0x20, and of '"' and '\\'; empty for bytes
// that are copied.
constexpr std::string_view escape_of(unsigned char c) noexcept {
  constexpr std::array<std::string_view, 32> kControl = {
      "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
      "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
      "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
      "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f",
  };
  if (c < 0x20) return kControl[c];
  if (c == '"') return "\\\"";
  if (c == '\\') return "\\\\";
  return {};
}

}  // namespace

void JsonWriter::string(std::string_view text) {
  out_.push_back('"');
  std::size_t copied = 0;  // text before this offset is already written
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view escape = escape_of(static_cast<unsigned char>(text[i]));
    if (escape.empty()) continue;
    out_.append(text.substr(copied, i - copied));
    out_.append(escape);
    copied = i + 1;
  }
  out_.append(text.substr(copied));
  out_.push_back('"');
}

void JsonWriter::unsigned_number(std::uint32_t value) {
  char digits[10];  // 4294967295 has ten digits
  char* const end = digits + sizeof digits;
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
  out_.append(p, static_cast<std::size_t>(end - p));
}

void JsonWriter::signed_number(std::int32_t value) {
  // The magnitude in unsigned arithmetic, so that -2147483648 is exact.
  auto magnitude = static_cast<std::uint32_t>(value);
  if (value < 0) {
    out_.push_back('-');
    magnitude = 0u - magnitude;
  }
  unsigned_number(magnitude);
}

void JsonWriter::tile(Tile tile) {
  out_.push_back('"');
  out_.append(tile_name(tile));
  out_.push_back('"');
}

void JsonWriter::tiles(std::span<const Tile> tiles) {
  out_.push_back('[');
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    if (i != 0) out_.push_back(',');
    tile(tiles[i]);
  }
  out_.push_back(']');
}

}  // namespace kiroku::detail
