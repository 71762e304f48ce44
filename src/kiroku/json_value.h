// A generic JSON value, held only for the entries of a hand's result list
// that are neither a label nor a list of four score changes.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kiroku {

struct JsonMember;

struct JsonNull {
  friend bool operator==(JsonNull, JsonNull) = default;
};

// A number keeps the form it was read in: a non-negative integer, a negative
// integer, or floating point (anything with a fraction or exponent, "-0",
// and integers too large for 64 bits).
struct JsonValue {
  using Array = std::vector<JsonValue>;
  using Object = std::vector<JsonMember>;  // members in document order
  std::variant<JsonNull, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object> value;

  bool is_number() const noexcept {
    return std::holds_alternative<std::uint64_t>(value) || std::holds_alternative<std::int64_t>(value) ||
           std::holds_alternative<double>(value);
  }
  friend bool operator==(const JsonValue&, const JsonValue&) = default;
};

struct JsonMember {
  std::string key;
  JsonValue value;
  friend bool operator==(const JsonMember&, const JsonMember&) = default;
};

}  // namespace kiroku
