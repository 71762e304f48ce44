#include "kiroku/read/log_reader.h"

#include <simdjson.h>

#include <algorithm>  // all_of, find_if
#include <array>
#include <bit>       // countr_zero, endian
#include <charconv>  // from_chars, to_chars
#include <cstddef>
#include <cstdint>
#include <cstring>   // memcpy
#include <iterator>  // make_move_iterator
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kiroku/io/quoted_text.h"
#include "kiroku/json_value.h"
#include "kiroku/read/log_keys.h"
#include "kiroku/read/read_messages.h"
#include "kiroku/tile.h"

namespace kiroku {

namespace {

namespace od = simdjson::ondemand;
using detail::is_hex_digit;
using detail::key_index;
using detail::kRawLogKeys;
using detail::kRuleKeys;
using namespace detail;  // the message texts
using simdjson::error_code;

static_assert(PaddedText::kPadding >= simdjson::SIMDJSON_PADDING,
              "the reader's input must carry the slack simdjson scans into");

// A container at this nesting level (the document's outermost container is
// level 1) is refused wherever a value is read into a record or a generic
// value.  Skipped members are exempt.
constexpr int kMaxNesting = 128;

// A hand entry sits in the hand list of the document: level 3.
constexpr int kHandLevel = 3;

constexpr std::string_view kNoActionItem = "data did not match any variant of untagged enum ActionItem";
constexpr std::string_view kNoResultItem = "data did not match any variant of untagged enum ResultItem";

// ---------------------------------------------------------------------------
// Numbers

// A JSON number in the form it was written: a non-negative integer, a
// negative integer, or floating point (a fraction or exponent, "-0", or an
// integer too large for 64 bits).
struct Number {
  enum class Kind : std::uint8_t { kUnsigned, kSigned, kFloat };
  Kind kind = Kind::kUnsigned;
  std::uint64_t unsigned_value = 0;
  std::int64_t signed_value = 0;
  double float_value = 0.0;

  static Number of_unsigned(std::uint64_t v) { return {Kind::kUnsigned, v, 0, 0.0}; }
  static Number of_signed(std::int64_t v) { return {Kind::kSigned, 0, v, 0.0}; }
  static Number of_float(double v) { return {Kind::kFloat, 0, 0, v}; }

  std::string description() const {
    switch (kind) {
      case Kind::kUnsigned: return "integer `" + std::to_string(unsigned_value) + "`";
      case Kind::kSigned: return "integer `" + std::to_string(signed_value) + "`";
      case Kind::kFloat: break;
    }
    return "floating point `" + float_text(float_value) + "`";
  }

  JsonValue to_json() const {
    switch (kind) {
      case Kind::kUnsigned: return JsonValue{unsigned_value};
      case Kind::kSigned: return JsonValue{signed_value};
      case Kind::kFloat: break;
    }
    return JsonValue{float_value};
  }
};

// The text of a well-formed JSON number, nothing before or after it.
bool is_number_text(std::string_view text) {
  std::size_t i = 0;
  const auto digit_at = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  if (i < text.size() && text[i] == '-') ++i;
  if (!digit_at(i)) return false;
  if (text[i] == '0') {
    ++i;
  } else {
    while (digit_at(i)) ++i;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digit_at(i)) return false;
    while (digit_at(i)) ++i;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digit_at(i)) return false;
    while (digit_at(i)) ++i;
  }
  return i == text.size();
}

// Checks the escapes of a string whose opening quote precedes `p`.  The
// scanner already found the closing quote and refused raw control
// characters; what is left is that every backslash starts a valid escape.
// An escaped lone surrogate passes: it is only refused where a string is
// actually decoded.
bool has_valid_escapes(const char* p) {
  for (;;) {
    const char c = *p++;
    if (c == '"') return true;
    if (c != '\\') continue;
    switch (*p++) {
      case '"':
      case '\\':
      case '/':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't': break;
      case 'u':
        for (int k = 0; k < 4; ++k) {
          if (!is_hex_digit(*p++)) return false;
        }
        break;
      default: return false;
    }
  }
}

// ---------------------------------------------------------------------------
// Iteration helpers: thin wrappers over the On-Demand iterators that report
// errors as codes.  Every value they hand out points into the parser's
// current document and lives only until the next element is requested.

// The children of an open array (its elements) or object (its members),
// one at a time.
template <typename Iterator, typename Child>
class Children {
 public:
  explicit Children(Iterator it) noexcept : it_(it) {}

  // The next child, or `has` false at the closing bracket or brace.
  [[gnu::always_inline]] error_code next(Child& child, bool& has) noexcept {
    if (started_) ++it_;
    started_ = true;
    has = it_ != it_;  // the comparison only asks whether the container is still open
    if (!has) return simdjson::SUCCESS;
    return (*it_).get(child);
  }

 private:
  Iterator it_;
  bool started_ = false;
};

using Elements = Children<od::array_iterator, od::value>;
using Members = Children<od::object_iterator, od::field>;

// One open container of a skipped value.
struct SkipFrame {
  od::array_iterator elements;
  od::object_iterator members;
  bool is_object = false;
  bool started = false;
};

// ---------------------------------------------------------------------------
// The reader

class LogReader {
 public:
  explicit LogReader(od::parser& parser) : parser_(parser) {}

  std::expected<RawLog, ReadError> read(const PaddedText& text);

 private:
  // --- failure --------------------------------------------------------
  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }
  bool fail(std::string_view message) { return fail(std::string(message)); }
  bool fail_json(error_code code) { return fail(std::string("malformed JSON: ") + simdjson::error_message(code)); }
  bool fail_syntax(std::string_view what) { return fail("malformed JSON: " + std::string(what)); }
  bool fail_nesting() { return fail_syntax("recursion limit exceeded (containers nested 128 levels deep)"); }
  bool fail_extra_element(std::string_view expected) {
    return fail("malformed JSON: trailing characters in array, expected " + std::string(expected));
  }

  // --- value kinds and descriptions ----------------------------------
  bool type_of(od::value& value, od::json_type& type) {
    if (const error_code e = value.type().get(type)) return fail_json(e);
    return true;
  }
  bool read_number(od::value& value, Number& out);
  bool check_literal(od::value& value, od::json_type type);
  bool describe(od::value& value, std::string& found);
  bool fail_type(od::value& value, std::string_view expected) {
    std::string found;
    if (!describe(value, found)) return false;
    return fail(type_message(found, expected));
  }
  bool open_array(od::value& value, std::string_view expected, od::array_iterator& it);

  // --- scalars ----------------------------------------------------------
  bool fail_integer(od::value& value, std::string_view expected);
  bool read_u8(od::value& value, std::uint8_t& out);
  bool read_i32(od::value& value, std::int32_t& out);
  bool read_f64(od::value& value, double& out);
  bool read_string(od::value& value, std::string& out);
  bool read_tile(od::value& value, Tile& out);
  bool is_null(od::value& value, bool& null);

  // --- lists and fixed arrays -----------------------------------------
  template <typename T, typename ReadElement>
  bool read_list(od::value& value, std::vector<T>& out, ReadElement read_element);
  template <typename ReadElement>
  bool read_exactly(od::value& value, std::size_t count, std::string_view name, std::string_view length_text,
                    ReadElement read_element);
  template <typename T, typename ReadValue>
  bool read_optional(od::value& value, std::optional<T>& out, ReadValue read_value);

  // --- generic values and skipping ------------------------------------
  bool read_generic(od::value& value, int level, JsonValue* out);
  bool skip_value(od::value& value);
  bool check_skipped_scalar(od::value& value, od::json_type type);

  // --- records ----------------------------------------------------------
  template <std::size_t N, typename ReadField>
  bool read_record_object(od::value& value, const std::array<std::string_view, N>& keys, std::array<bool, N>& seen,
                          ReadField read_field);
  bool read_document(od::document& doc, RawLog& out);
  bool read_raw_log_object(od::value& value, RawLog& out);
  bool read_raw_log_array(od::value& value, RawLog& out);
  bool read_raw_log_field(std::size_t index, od::value& value, RawLog& out);
  bool read_rule(od::value& value, Rule& out);
  bool read_rule_field(std::size_t index, od::value& value, Rule& out);
  bool read_hand(od::value& value, int level, HandEntry& out);
  bool read_hand_id(od::value& value, HandId& out);
  bool read_action_item(od::value& value, int level, ActionItem& out);
  bool read_result_item(od::value& value, int level, ResultItem& out);
  bool read_result_array(od::value& value, int level, ResultItem& out);
  bool describe_root_scalar(od::document& doc);

  od::parser& parser_;
  std::string error_;
  std::vector<SkipFrame> skip_stack_;
  std::vector<Tile> tile_scratch_;
  std::vector<ActionItem> action_scratch_;
};

// ---------------------------------------------------------------------------
// Value kinds

bool LogReader::read_number(od::value& value, Number& out) {
  // Checked before parsing: "-0" parses as the integer 0, but the log's
  // rules count it as floating point.
  const bool negative = value.is_negative();
  od::number number;
  if (value.get_number().get(number) == simdjson::SUCCESS) {
    switch (number.get_number_type()) {
      case od::number_type::signed_integer: {
        const std::int64_t v = number.get_int64();
        if (v > 0 || (v == 0 && !negative)) {
          out = Number::of_unsigned(static_cast<std::uint64_t>(v));
        } else if (v == 0) {
          out = Number::of_float(-0.0);
        } else {
          out = Number::of_signed(v);
        }
        return true;
      }
      case od::number_type::unsigned_integer: out = Number::of_unsigned(number.get_uint64()); return true;
      case od::number_type::floating_point_number: out = Number::of_float(number.get_double()); return true;
    }
  }
  // An integer beyond 64 bits does not parse as a number above but reads
  // as a double; malformed and out-of-range numbers fail both ways.
  double v = 0.0;
  if (const error_code e = value.get_double().get(v)) {
    // A lone "-" is not a number to the double parser; say so plainly.
    return e == simdjson::INCORRECT_TYPE ? fail_syntax("invalid number") : fail_json(e);
  }
  out = Number::of_float(v);
  return true;
}

bool LogReader::check_literal(od::value& value, od::json_type type) {
  if (type == od::json_type::boolean) {
    bool b = false;
    if (value.get_bool().get(b) != simdjson::SUCCESS) return fail_syntax("invalid literal");
    return true;
  }
  bool null = false;
  if (value.is_null().get(null) != simdjson::SUCCESS || !null) return fail_syntax("invalid literal");
  return true;
}

bool LogReader::describe(od::value& value, std::string& found) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  switch (type) {
    case od::json_type::array: found = "sequence"; return true;
    case od::json_type::object: found = "map"; return true;
    case od::json_type::number: {
      Number number;
      if (!read_number(value, number)) return false;
      found = number.description();
      return true;
    }
    case od::json_type::string: {
      std::string_view text;
      if (const error_code e = value.get_string().get(text)) return fail_json(e);
      found = "string " + quoted_text(text);
      return true;
    }
    case od::json_type::boolean: {
      bool b = false;
      if (value.get_bool().get(b) != simdjson::SUCCESS) return fail_syntax("invalid literal");
      found = b ? "boolean `true`" : "boolean `false`";
      return true;
    }
    case od::json_type::null:
      if (!check_literal(value, type)) return false;
      found = "null";
      return true;
  }
  return fail_syntax("unexpected value");
}

bool LogReader::open_array(od::value& value, std::string_view expected, od::array_iterator& it) {
  od::array array;
  const error_code e = value.get_array().get(array);
  if (e == simdjson::INCORRECT_TYPE) return fail_type(value, expected);
  if (e) return fail_json(e);
  if (const error_code e2 = array.begin().get(it)) return fail_json(e2);
  return true;
}

// ---------------------------------------------------------------------------
// Scalars.  Each tries the common well-formed case first and only works out
// the exact complaint when that fails; a failed On-Demand getter leaves the
// value unconsumed, so it can be looked at again.

// Why a value that the fast getter refused is no integer of the field: its
// type, an integer out of range, or a floating-point number.
bool LogReader::fail_integer(od::value& value, std::string_view expected) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type != od::json_type::number) return fail_type(value, expected);
  Number number;
  if (!read_number(value, number)) return false;
  switch (number.kind) {
    case Number::Kind::kUnsigned: return fail(invalid_integer_message(number.unsigned_value, expected));
    case Number::Kind::kSigned: return fail(invalid_integer_message(number.signed_value, expected));
    case Number::Kind::kFloat: break;
  }
  return fail(type_message(number.description(), expected));
}

bool LogReader::read_u8(od::value& value, std::uint8_t& out) {
  std::uint64_t v = 0;
  if (value.get_uint64().get(v) == simdjson::SUCCESS) {
    if (v <= std::numeric_limits<std::uint8_t>::max()) {
      out = static_cast<std::uint8_t>(v);
      return true;
    }
    return fail(invalid_integer_message(v, "u8"));
  }
  return fail_integer(value, "u8");
}

bool LogReader::read_i32(od::value& value, std::int32_t& out) {
  const bool negative = value.is_negative();
  std::int64_t v = 0;
  if (value.get_int64().get(v) == simdjson::SUCCESS) {
    if (v == 0 && negative) return fail(type_message(Number::of_float(-0.0).description(), "i32"));
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()) {
      out = static_cast<std::int32_t>(v);
      return true;
    }
    return fail(invalid_integer_message(v, "i32"));
  }
  return fail_integer(value, "i32");
}

bool LogReader::read_f64(od::value& value, double& out) {
  // Integers too: the nearest double, as the field takes any number.
  const error_code e = value.get_double().get(out);
  if (e == simdjson::SUCCESS) return true;
  if (e != simdjson::INCORRECT_TYPE) return fail_json(e);
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type != od::json_type::number) return fail_type(value, "f64");
  return fail_syntax("invalid number");
}

bool LogReader::read_string(od::value& value, std::string& out) {
  std::string_view text;
  const error_code e = value.get_string().get(text);
  if (e == simdjson::SUCCESS) {
    out.assign(text);
    return true;
  }
  if (e == simdjson::INCORRECT_TYPE) return fail_type(value, "a string");
  return fail_json(e);
}

bool LogReader::read_tile(od::value& value, Tile& out) {
  std::uint8_t code = 0;
  if (!read_u8(value, code)) return false;
  if (const auto tile = tile_from_code(code)) {
    out = *tile;
    return true;
  }
  return fail(invalid_tile_code_message(code));
}

bool LogReader::is_null(od::value& value, bool& null) {
  // is_null() reports a token that starts like null but is not as an error.
  if (value.is_null().get(null) != simdjson::SUCCESS) return fail_syntax("invalid literal");
  return true;
}

// ---------------------------------------------------------------------------
// Lists and fixed-length arrays

template <typename T, typename ReadElement>
bool LogReader::read_list(od::value& value, std::vector<T>& out, ReadElement read_element) {
  od::array_iterator it;
  if (!open_array(value, "a sequence", it)) return false;
  Elements elements(it);
  for (;;) {
    od::value element;
    bool has = false;
    if (const error_code e = elements.next(element, has)) return fail_json(e);
    if (!has) return true;
    if (!read_element(element, out.emplace_back())) return false;
  }
}

template <typename ReadElement>
bool LogReader::read_exactly(od::value& value, std::size_t count, std::string_view name, std::string_view length_text,
                             ReadElement read_element) {
  od::array_iterator it;
  if (!open_array(value, name, it)) return false;
  Elements elements(it);
  od::value element;
  bool has = false;
  for (std::size_t i = 0; i < count; ++i) {
    if (const error_code e = elements.next(element, has)) return fail_json(e);
    if (!has) return fail(invalid_length_message(i, length_text));
    if (!read_element(element, i)) return false;
  }
  if (const error_code e = elements.next(element, has)) return fail_json(e);
  if (has) return fail_extra_element(length_text);
  return true;
}

// ---------------------------------------------------------------------------
// Generic values and skipped members

// Reads one value completely; `level` is the nesting level a container at
// this position has.  With `out` null the value is only checked, as for a
// list entry that turns out to match no alternative.
bool LogReader::read_generic(od::value& value, int level, JsonValue* out) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  switch (type) {
    case od::json_type::array: {
      if (level >= kMaxNesting) return fail_nesting();
      od::array_iterator it;
      if (!open_array(value, "a sequence", it)) return false;
      JsonValue::Array* array = nullptr;
      if (out != nullptr) array = &out->value.emplace<JsonValue::Array>();
      Elements elements(it);
      for (;;) {
        od::value element;
        bool has = false;
        if (const error_code e = elements.next(element, has)) return fail_json(e);
        if (!has) return true;
        JsonValue* slot = array != nullptr ? &array->emplace_back() : nullptr;
        if (!read_generic(element, level + 1, slot)) return false;
      }
    }
    case od::json_type::object: {
      if (level >= kMaxNesting) return fail_nesting();
      od::object object;
      if (const error_code e = value.get_object().get(object)) return fail_json(e);
      od::object_iterator it;
      if (const error_code e = object.begin().get(it)) return fail_json(e);
      JsonValue::Object* members_out = nullptr;
      if (out != nullptr) members_out = &out->value.emplace<JsonValue::Object>();
      Members members(it);
      for (;;) {
        od::field member;
        bool has = false;
        if (const error_code e = members.next(member, has)) return fail_json(e);
        if (!has) return true;
        std::string_view key;
        if (const error_code e = member.unescaped_key().get(key)) return fail_json(e);
        JsonValue* slot = nullptr;
        if (members_out != nullptr) {
          members_out->push_back(JsonMember{std::string(key), JsonValue{}});
          slot = &members_out->back().value;
        }
        if (!read_generic(member.value(), level + 1, slot)) return false;
      }
    }
    case od::json_type::number: {
      Number number;
      if (!read_number(value, number)) return false;
      if (out != nullptr) *out = number.to_json();
      return true;
    }
    case od::json_type::string: {
      std::string_view text;
      if (const error_code e = value.get_string().get(text)) return fail_json(e);
      if (out != nullptr) out->value.emplace<std::string>(text);
      return true;
    }
    case od::json_type::boolean: {
      bool b = false;
      if (value.get_bool().get(b) != simdjson::SUCCESS) return fail_syntax("invalid literal");
      if (out != nullptr) out->value = b;
      return true;
    }
    case od::json_type::null:
      if (!check_literal(value, type)) return false;
      if (out != nullptr) out->value = JsonNull{};
      return true;
  }
  return fail_syntax("unexpected value");
}

bool LogReader::check_skipped_scalar(od::value& value, od::json_type type) {
  switch (type) {
    case od::json_type::string: {
      od::raw_json_string raw;
      if (const error_code e = value.get_raw_json_string().get(raw)) return fail_json(e);
      if (!has_valid_escapes(raw.raw())) return fail_syntax("invalid escape in string");
      return true;
    }
    case od::json_type::number: {
      // Only the syntax counts: a skipped 1e400 is as good as any number.
      std::string_view token = value.raw_json_token();
      while (!token.empty() &&
             (token.back() == ' ' || token.back() == '\t' || token.back() == '\n' || token.back() == '\r')) {
        token.remove_suffix(1);
      }
      if (!is_number_text(token)) return fail_syntax("invalid number");
      return true;
    }
    default: return check_literal(value, type);
  }
}

// Passes over a member the record does not list.  Its value is checked for
// syntax down to every scalar, but with no nesting limit, so the walk keeps
// its own stack instead of recursing.
bool LogReader::skip_value(od::value& first) {
  skip_stack_.clear();
  od::value current = first;
  for (;;) {
    od::json_type type{};
    if (!type_of(current, type)) return false;
    if (type == od::json_type::array) {
      od::array array;
      if (const error_code e = current.get_array().get(array)) return fail_json(e);
      SkipFrame frame;
      if (const error_code e = array.begin().get(frame.elements)) return fail_json(e);
      skip_stack_.push_back(frame);
    } else if (type == od::json_type::object) {
      od::object object;
      if (const error_code e = current.get_object().get(object)) return fail_json(e);
      SkipFrame frame;
      frame.is_object = true;
      if (const error_code e = object.begin().get(frame.members)) return fail_json(e);
      skip_stack_.push_back(frame);
    } else if (!check_skipped_scalar(current, type)) {
      return false;
    }

    // Find the next value to look at: the next element or member of the
    // innermost container that still has one.
    for (;;) {
      if (skip_stack_.empty()) return true;
      SkipFrame& frame = skip_stack_.back();
      if (frame.is_object) {
        if (frame.started) ++frame.members;
        frame.started = true;
        if (!(frame.members != frame.members)) {
          skip_stack_.pop_back();
          continue;
        }
        od::field member;
        if (const error_code e = (*frame.members).get(member)) return fail_json(e);
        if (!has_valid_escapes(member.key().raw())) {
          return fail_syntax("invalid escape in string");
        }
        current = member.value();
      } else {
        if (frame.started) ++frame.elements;
        frame.started = true;
        if (!(frame.elements != frame.elements)) {
          skip_stack_.pop_back();
          continue;
        }
        if (const error_code e = (*frame.elements).get(current)) return fail_json(e);
      }
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// List entries

bool LogReader::read_action_item(od::value& value, int level, ActionItem& out) {
  std::uint64_t code = 0;
  if (value.get_uint64().get(code) == simdjson::SUCCESS) {
    if (code > std::numeric_limits<std::uint8_t>::max()) return fail(kNoActionItem);
    if (const auto tile = tile_from_code(static_cast<std::uint8_t>(code))) {
      out = *tile;
    } else {
      out = static_cast<std::uint8_t>(code);
    }
    return true;
  }
  od::json_type type{};
  if (!type_of(value, type)) return false;
  switch (type) {
    case od::json_type::string: {
      std::string_view text;
      if (const error_code e = value.get_string().get(text)) return fail_json(e);
      out.emplace<std::string>(text);
      return true;
    }
    case od::json_type::number: {
      // Negative, fractional or too large: no alternative takes it, once it
      // has read as a number at all.
      Number number;
      if (!read_number(value, number)) return false;
      return fail(kNoActionItem);
    }
    default:
      // The entry is still read whole before it is refused, so a syntax
      // error or too deep nesting inside it is what gets reported.
      if (!read_generic(value, level, nullptr)) return false;
      return fail(kNoActionItem);
  }
}

bool LogReader::read_result_item(od::value& value, int level, ResultItem& out) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type == od::json_type::string) {
    std::string_view text;
    if (const error_code e = value.get_string().get(text)) return fail_json(e);
    out.emplace<std::string>(text);
    return true;
  }
  if (type == od::json_type::array) return read_result_array(value, level, out);
  if (!read_generic(value, level, nullptr)) return false;
  return fail(kNoResultItem);
}

// An array entry is four score changes when it holds exactly four integers
// within the 32-bit range, and a list of generic values otherwise.  The
// elements are read once: integers are held back until the entry can no
// longer be four score changes, then it continues as generic values.
bool LogReader::read_result_array(od::value& value, int level, ResultItem& out) {
  if (level >= kMaxNesting) return fail_nesting();
  od::array_iterator it;
  if (!open_array(value, "a sequence", it)) return false;
  Elements elements(it);

  std::array<Number, kSeatCount> held{};
  std::size_t held_count = 0;
  std::vector<JsonValue>* values = nullptr;
  for (;;) {
    od::value element;
    bool has = false;
    if (const error_code e = elements.next(element, has)) return fail_json(e);
    if (!has) break;
    if (values == nullptr) {
      od::json_type type{};
      if (!type_of(element, type)) return false;
      Number number;
      if (type == od::json_type::number) {
        if (!read_number(element, number)) return false;
        const bool fits =
            (number.kind == Number::Kind::kUnsigned &&
             number.unsigned_value <= std::uint64_t{std::numeric_limits<std::int32_t>::max()}) ||
            (number.kind == Number::Kind::kSigned && number.signed_value >= std::numeric_limits<std::int32_t>::min());
        if (fits && held_count < held.size()) {
          held[held_count++] = number;
          continue;
        }
      }
      values = &out.emplace<std::vector<JsonValue>>();
      values->reserve(held_count + 4);
      for (std::size_t i = 0; i < held_count; ++i) values->push_back(held[i].to_json());
      if (type == od::json_type::number) {
        values->push_back(number.to_json());
        continue;
      }
    }
    if (!read_generic(element, level + 1, &values->emplace_back())) return false;
  }
  if (values != nullptr) return true;
  if (held_count == held.size()) {
    Scores& deltas = out.emplace<Scores>();
    for (std::size_t i = 0; i < held.size(); ++i) {
      deltas[i] = held[i].kind == Number::Kind::kUnsigned ? static_cast<std::int32_t>(held[i].unsigned_value)
                                                          : static_cast<std::int32_t>(held[i].signed_value);
    }
    return true;
  }
  auto& short_list = out.emplace<std::vector<JsonValue>>();
  short_list.reserve(held_count);
  for (std::size_t i = 0; i < held_count; ++i) short_list.push_back(held[i].to_json());
  return true;
}

// ---------------------------------------------------------------------------
// Records

// Visits the members of a record given as an object: listed keys are read
// by `read_field` (with their index in `keys`) and marked in `seen`, a
// listed key met twice fails before its value is looked at, and other
// members are skipped.
template <std::size_t N, typename ReadField>
bool LogReader::read_record_object(od::value& value, const std::array<std::string_view, N>& keys,
                                   std::array<bool, N>& seen, ReadField read_field) {
  od::object object;
  if (const error_code e = value.get_object().get(object)) return fail_json(e);
  od::object_iterator it;
  if (const error_code e = object.begin().get(it)) return fail_json(e);
  Members members(it);
  for (;;) {
    od::field member;
    bool has = false;
    if (const error_code e = members.next(member, has)) return fail_json(e);
    if (!has) return true;
    std::string_view key;  // points into the parser's string buffer
    if (const error_code e = member.unescaped_key().get(key)) return fail_json(e);
    const int index = key_index(keys, key);
    if (index < 0) {
      if (!skip_value(member.value())) return false;
      continue;
    }
    if (seen[static_cast<std::size_t>(index)]) return fail("duplicate field `" + std::string(key) + "`");
    seen[static_cast<std::size_t>(index)] = true;
    if (!read_field(static_cast<std::size_t>(index), member.value())) return false;
  }
}

template <typename T, typename ReadValue>
bool LogReader::read_optional(od::value& value, std::optional<T>& out, ReadValue read_value) {
  bool null = false;
  if (!is_null(value, null)) return false;
  if (null) {
    out.reset();
    return true;
  }
  return read_value(value, out.emplace());
}

bool LogReader::read_hand_id(od::value& value, HandId& out) {
  return read_exactly(value, 3, "tuple struct Inner", "tuple struct Inner with 3 elements",
                      [&](od::value& element, std::size_t i) {
                        std::uint8_t* fields[] = {&out.hand_index, &out.honba, &out.deposits};
                        return read_u8(element, *fields[i]);
                      });
}

bool LogReader::read_hand(od::value& value, int level, HandEntry& out) {
  const int entry_level = level + 2;  // inside the hand's lists
  // Lists are read into reused scratch space and then moved into a vector
  // of their exact size: one allocation per list, and no slack kept.
  const auto read_tile_list = [&](od::value& list, std::vector<Tile>& tiles) {
    tile_scratch_.clear();
    if (!read_list(list, tile_scratch_, [&](od::value& element, Tile& tile) { return read_tile(element, tile); })) {
      return false;
    }
    tiles.assign(tile_scratch_.begin(), tile_scratch_.end());
    return true;
  };
  const auto read_action_list = [&](od::value& list, std::vector<ActionItem>& items) {
    action_scratch_.clear();
    if (!read_list(list, action_scratch_, [&](od::value& element, ActionItem& item) {
          return read_action_item(element, entry_level, item);
        })) {
      return false;
    }
    items.assign(std::make_move_iterator(action_scratch_.begin()), std::make_move_iterator(action_scratch_.end()));
    return true;
  };
  return read_exactly(
      value, 17, "tuple struct Inner", "tuple struct Inner with 17 elements", [&](od::value& element, std::size_t i) {
        switch (i) {
          case 0: return read_hand_id(element, out.id);
          case 1:
            return read_exactly(element, kSeatCount, "an array of length 4", "an array of length 4",
                                [&](od::value& score, std::size_t k) { return read_i32(score, out.scores[k]); });
          case 2: return read_tile_list(element, out.dora_indicators);
          case 3: return read_tile_list(element, out.ura_indicators);
          case 16:
            out.result.reserve(4);
            return read_list(element, out.result, [&](od::value& entry, ResultItem& item) {
              return read_result_item(entry, entry_level, item);
            });
          default: break;
        }
        SeatRecord& seat = out.seats[(i - 4) / 3];
        switch ((i - 4) % 3) {
          case 0:
            return read_exactly(element, kStartingHandSize, "an array of size 13", "an array of size 13",
                                [&](od::value& tile, std::size_t k) { return read_tile(tile, seat.hand[k]); });
          case 1: return read_action_list(element, seat.takes);
          default: return read_action_list(element, seat.discards);
        }
      });
}

bool LogReader::read_rule_field(std::size_t index, od::value& value, Rule& out) {
  switch (index) {
    case 0: return read_string(value, out.disp);
    case 1: return read_u8(value, out.aka);
    case 2: return read_u8(value, out.aka51);
    case 3: return read_u8(value, out.aka52);
    default: return read_u8(value, out.aka53);
  }
}

bool LogReader::read_rule(od::value& value, Rule& out) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type == od::json_type::array) {
    // Trailing fields may be left out; they keep their defaults.
    od::array_iterator it;
    if (!open_array(value, "struct Rule", it)) return false;
    Elements elements(it);
    od::value element;
    bool has = false;
    for (std::size_t i = 0;; ++i) {
      if (const error_code e = elements.next(element, has)) return fail_json(e);
      if (!has) return true;
      if (i == kRuleKeys.size()) return fail_extra_element("struct Rule with 5 elements");
      if (!read_rule_field(i, element, out)) return false;
    }
  }
  if (type != od::json_type::object) return fail_type(value, "struct Rule");

  // Every field is defaulted, so none can be missing.
  std::array<bool, kRuleKeys.size()> seen{};
  return read_record_object(value, kRuleKeys, seen,
                            [&](std::size_t index, od::value& field) { return read_rule_field(index, field, out); });
}

bool LogReader::read_raw_log_field(std::size_t index, od::value& value, RawLog& out) {
  const auto read_text = [&](od::value& element, std::string& text) { return read_string(element, text); };
  const auto read_texts = [&](od::value& list, std::vector<std::string>& texts) {
    return read_list(list, texts, read_text);
  };
  switch (index) {
    case 0:
      out.log.reserve(16);
      return read_list(value, out.log,
                       [&](od::value& element, HandEntry& hand) { return read_hand(element, kHandLevel, hand); });
    case 1:
      return read_exactly(value, kSeatCount, "an array of length 4", "an array of length 4",
                          [&](od::value& element, std::size_t i) { return read_string(element, out.name[i]); });
    case 2: return read_rule(value, out.rule);
    case 3: return read_optional(value, out.ratingc, read_text);
    case 4:
      return read_optional(value, out.lobby, [&](od::value& number, std::int32_t& v) { return read_i32(number, v); });
    case 5: return read_optional(value, out.dan, read_texts);
    case 6:
      return read_optional(value, out.rate, [&](od::value& list, std::vector<double>& numbers) {
        return read_list(list, numbers, [&](od::value& element, double& v) { return read_f64(element, v); });
      });
    default: return read_optional(value, out.sx, read_texts);
  }
}

bool LogReader::read_raw_log_object(od::value& value, RawLog& out) {
  std::array<bool, kRawLogKeys.size()> seen{};
  if (!read_record_object(value, kRawLogKeys, seen,
                          [&](std::size_t index, od::value& field) { return read_raw_log_field(index, field, out); })) {
    return false;
  }
  // Settled in declaration order: `log`, `name` and `rule` are required;
  // the optional fields are already absent.
  for (std::size_t i = 0; i < 3; ++i) {
    if (!seen[i]) return fail("missing field `" + std::string(kRawLogKeys[i]) + "`");
  }
  return true;
}

bool LogReader::read_raw_log_array(od::value& value, RawLog& out) {
  return read_exactly(value, kRawLogKeys.size(), "struct RawLog", "struct RawLog with 8 elements",
                      [&](od::value& element, std::size_t i) { return read_raw_log_field(i, element, out); });
}

// A document that is not an array or object is refused by its kind; the
// kind is found by reading the first value alone, so that text after it
// does not hide the complaint.
bool LogReader::describe_root_scalar(od::document& doc) {
  std::string_view token;
  if (const error_code e = doc.raw_json_token().get(token)) return fail_json(e);
  const simdjson::padded_string wrapped("[" + std::string(token) + "]");
  od::document inner;
  if (const error_code e = parser_.iterate(wrapped).get(inner)) return fail_json(e);
  od::array array;
  if (const error_code e = inner.get_array().get(array)) return fail_json(e);
  od::array_iterator it;
  if (const error_code e = array.begin().get(it)) return fail_json(e);
  Elements elements(it);
  od::value element;
  bool has = false;
  if (const error_code e = elements.next(element, has)) return fail_json(e);
  if (!has) return fail_syntax("expected value");
  return fail_type(element, "struct RawLog");
}

bool LogReader::read_document(od::document& doc, RawLog& out) {
  od::json_type type{};
  if (const error_code e = doc.type().get(type)) return fail_json(e);
  if (type != od::json_type::object && type != od::json_type::array) return describe_root_scalar(doc);

  // The root is read as a plain value rather than through the document's
  // own object/array entry points: those first check the text's last
  // character, which would report trailing text before a fault inside the
  // document.  Running past the end instead meets the zeroed padding, which
  // no JSON token starts with.
  od::value root;
  if (const error_code e = doc.get_value().get(root)) return fail_json(e);
  const bool ok = type == od::json_type::object ? read_raw_log_object(root, out) : read_raw_log_array(root, out);
  if (!ok) return false;

  const char* rest = nullptr;
  const error_code at_end = doc.current_location().get(rest);
  if (at_end != simdjson::OUT_OF_BOUNDS) return fail_syntax("trailing characters after the document");
  return true;
}

std::expected<RawLog, ReadError> LogReader::read(const PaddedText& text) {
  const std::string_view view = text.view();
  const std::size_t start = view.find_first_not_of(" \t\n\r");
  if (start == std::string_view::npos) return std::unexpected(ReadError{"malformed JSON: EOF while parsing a value"});
  const char first = view[start];
  const bool value_start = first == '{' || first == '[' || first == '"' || first == '-' ||
                           (first >= '0' && first <= '9') || first == 't' || first == 'f' || first == 'n';
  // Covers a byte-order mark, which is not whitespace.
  if (!value_start) return std::unexpected(ReadError{"malformed JSON: expected value"});

  tile_scratch_.reserve(8);
  action_scratch_.reserve(64);
  od::document doc;
  if (const error_code e = parser_.iterate(text.data(), text.size(), text.size() + PaddedText::kPadding).get(doc)) {
    fail_json(e);
    return std::unexpected(ReadError{std::move(error_)});
  }
  RawLog log;
  if (!read_document(doc, log)) return std::unexpected(ReadError{std::move(error_)});
  return log;
}

}  // namespace

std::expected<RawLog, ReadError> read_raw_log(const PaddedText& text) {
  // One parser per thread keeps its buffers between calls.
  thread_local od::parser parser;
  return LogReader(parser).read(text);
}

}  // namespace kiroku
