// Appends JSON fragments to a byte buffer: the event encoder's only tool.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kiroku/tile.h"

namespace kiroku::detail {

class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) noexcept : out_(out) {}

  // Text that is already JSON (punctuation, `"key":` fragments).
  void raw(std::string_view json) { out_.append(json); }
  void raw(char c) { out_.push_back(c); }

  // A JSON string: quotes, backslashes and control characters escaped; every
  // other byte, U+007F and non-ASCII included, copied unchanged.
  void string(std::string_view text);

  void unsigned_number(std::uint32_t value);
  void signed_number(std::int32_t value);
  void boolean(bool value) { raw(value ? std::string_view("true") : std::string_view("false")); }

  // Tile names never need escaping.
  void tile(Tile tile);
  void tiles(std::span<const Tile> tiles);

 private:
  std::string& out_;
};

}  // namespace kiroku::detail
