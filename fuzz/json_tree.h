// A JSON document as an editable tree, for the mutator that changes logs as
// logs.  Unlike the core's reader it keeps everything (unknown keys, member
// order, repeated keys) so that a document written back differs from the one
// read only by what the mutator changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiroku::fuzz {

struct Json {
  enum class Kind : std::uint8_t { Null, False, True, Integer, Number, String, Array, Object };

  Kind kind = Kind::Null;
  std::int64_t integer = 0;  // Integer
  // String: the decoded text.  Number: a number outside int64_t as written
  // back (a fraction, an exponent, or a large unsigned integer).
  std::string text;
  std::vector<Json> items;        // Array elements, or Object member values
  std::vector<std::string> keys;  // Object member keys, parallel to items

  static Json of(std::int64_t value) {
    Json out;
    out.kind = Kind::Integer;
    out.integer = value;
    return out;
  }
  static Json of(std::string value) { return with_text(Kind::String, std::move(value)); }
  static Json number(std::string text) { return with_text(Kind::Number, std::move(text)); }
  static Json array() {
    Json out;
    out.kind = Kind::Array;
    return out;
  }
  static Json object() {
    Json out;
    out.kind = Kind::Object;
    return out;
  }

  bool is_integer() const noexcept { return kind == Kind::Integer; }
  bool is_string() const noexcept { return kind == Kind::String; }
  bool is_array() const noexcept { return kind == Kind::Array; }
  bool is_object() const noexcept { return kind == Kind::Object; }

  // The value of the first member named `key`, or nullptr (also when this is
  // not an object).
  Json* member(std::string_view key) noexcept;

 private:
  static Json with_text(Kind kind, std::string text) {
    Json out;
    out.kind = kind;
    out.text = std::move(text);
    return out;
  }
};

// The tree of a whole JSON text, or nothing when the text is not JSON.
std::optional<Json> parse_json(std::string_view text);

// Compact JSON text: no whitespace, strings escaped as JSON requires.
std::string write_json(const Json& value);

}  // namespace kiroku::fuzz
