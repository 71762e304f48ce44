#include "kiroku/log_reader.h"

#include <simdjson.h>

#include <algorithm>  // all_of, find_if
#include <array>
#include <bit>  // countr_zero, endian
#include <charconv>  // from_chars, to_chars
#include <cstddef>
#include <cstdint>
#include <cstring>  // memcpy
#include <iterator>  // make_move_iterator
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kiroku/json_value.h"
#include "kiroku/read_messages.h"
#include "kiroku/tile.h"

namespace kiroku {

namespace {

namespace od = simdjson::ondemand;
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

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
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
      case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
        break;
      case 'u':
        for (int k = 0; k < 4; ++k) {
          if (!is_hex_digit(*p++)) return false;
        }
        break;
      default:
        return false;
    }
  }
}

// ---------------------------------------------------------------------------
// Iteration helpers: thin wrappers over the On-Demand iterators that report
// errors as codes.  Every value they hand out points into the parser's
// current document and lives only until the next element is requested.

class Elements {
 public:
  explicit Elements(od::array_iterator it) noexcept : it_(it) {}

  // The next element, or `has` false at the closing bracket.
  [[gnu::always_inline]] error_code next(od::value& element, bool& has) noexcept {
    if (started_) ++it_;
    started_ = true;
    has = it_ != it_;  // the comparison only asks whether the array is still open
    if (!has) return simdjson::SUCCESS;
    return (*it_).get(element);
  }

 private:
  od::array_iterator it_;
  bool started_ = false;
};

class Members {
 public:
  explicit Members(od::object_iterator it) noexcept : it_(it) {}

  [[gnu::always_inline]] error_code next(od::field& member, bool& has) noexcept {
    if (started_) ++it_;
    started_ = true;
    has = it_ != it_;
    if (!has) return simdjson::SUCCESS;
    return (*it_).get(member);
  }

 private:
  od::object_iterator it_;
  bool started_ = false;
};

// One open container of a skipped value.
struct SkipFrame {
  od::array_iterator elements;
  od::object_iterator members;
  bool is_object = false;
  bool started = false;
};

// ---------------------------------------------------------------------------
// Keys of the document, in declaration order (the array form's order).

constexpr std::array<std::string_view, 8> kRawLogKeys = {"log",   "name", "rule", "ratingc",
                                                         "lobby", "dan",  "rate", "sx"};
constexpr std::array<std::string_view, 5> kRuleKeys = {"disp", "aka", "aka51", "aka52", "aka53"};

template <std::size_t N>
int key_index(const std::array<std::string_view, N>& keys, std::string_view key) {
  for (std::size_t i = 0; i < N; ++i) {
    if (keys[i] == key) return static_cast<int>(i);
  }
  return -1;
}

// ---------------------------------------------------------------------------
// The direct reader
//
// Logs as their writers produce them are plain: an object of known fields,
// hands made of short lists of small integers, a few strings.  Through
// On-Demand every value of such a log is wrapped, peeked, parsed and checked
// for errors at several layers, well over a hundred instructions for a tile
// code; read straight from the text it costs a fraction of that, and the
// whole reading about two thirds of the time.  So a document is first
// offered to DirectReader, and only when it declines does LogReader (below)
// read it.
//
// DirectReader takes a strict subset of JSON: no integer of more than 18
// digits, no number with more than 19 digits before its exponent, no "-0",
// no string with a control character or an escaped lone surrogate, nesting
// kept shallow.  And a subset of the log's shapes: the document and `rule`
// as objects, no key or call notation written with escapes, no duplicate
// field, no failed check of any kind.  It never explains anything: on
// whatever it does not take it gives up, and LogReader reads the text from
// the start, so every message and every unusual form still come from one
// place.  For that to be sound, a document it takes must be one LogReader
// reads to an equal RawLog: each rule here mirrors one of LogReader's, and a
// change to either needs the same change to the other (or the case turned
// into a reason to give up here).
//
// The text is a PaddedText, so a zero byte follows it.  A zero byte ends
// every scan below as a mismatch, and nothing reads more than a few bytes
// past it, which stays within the padding.

constexpr bool is_digit(char c) noexcept { return static_cast<unsigned char>(c - '0') < 10; }

// Bit c is set for the JSON whitespace bytes: space, tab, LF and CR.
constexpr std::uint64_t kJsonSpaceMask =
    (std::uint64_t{1} << ' ') | (std::uint64_t{1} << '\t') | (std::uint64_t{1} << '\n') | (std::uint64_t{1} << '\r');

constexpr bool is_json_space(char c) noexcept {
  return static_cast<unsigned char>(c) <= ' ' && ((kJsonSpaceMask >> static_cast<unsigned char>(c)) & 1) != 0;
}

// Whitespace, of which an indented log has runs of spaces after each line
// break: a third of its bytes, or most of them with one value per line.
// The runs go eight at a time; the padding after the text makes the 8-byte
// load safe wherever a scan stands.
const char* skip_json_whitespace(const char* p) noexcept {
  while (is_json_space(*p)) {
    if (*p++ != '\n') continue;
    for (;;) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t not_space = word ^ 0x2020202020202020;
      if (not_space == 0) {
        p += sizeof word;
        continue;
      }
      // The first byte in memory is the lowest on a little-endian machine;
      // elsewhere the plain loop finds the end of the run.
      if constexpr (std::endian::native == std::endian::little) p += std::countr_zero(not_space) / 8;
      break;
    }
  }
  return p;
}

// The end of the JSON number starting at `p`, or null when no number in
// JSON's grammar starts there.
const char* scan_number_text(const char* p) noexcept {
  if (*p == '-') ++p;
  if (*p == '0') {
    ++p;
  } else if (is_digit(*p)) {
    while (is_digit(*p)) ++p;
  } else {
    return nullptr;
  }
  if (*p == '.') {
    ++p;
    if (!is_digit(*p)) return nullptr;
    while (is_digit(*p)) ++p;
  }
  if (*p == 'e' || *p == 'E') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    if (!is_digit(*p)) return nullptr;
    while (is_digit(*p)) ++p;
  }
  return p;
}

int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// One entry of a flat list: a string (its text, escape-free, points into
// the JSON text) or else an integer of at most 18 digits.
struct FlatScalar {
  std::int64_t integer = 0;
  bool is_string = false;
  std::string_view text;
};

class DirectReader {
 public:
  explicit DirectReader(const PaddedText& text)
      : text_(text.view()), p_(text.data()), end_(text.data() + text.size()) {
    flat_.reserve(64);  // more than a hand's longest list, so one allocation
  }

  // The whole document into `out` (fresh), or false when it is not taken;
  // `out` then holds part of it.
  bool read(RawLog& out);

 private:
  // How deep containers may nest inside a result entry or a skipped member.
  // It bounds this reader's recursion and stays far below LogReader's limit
  // of 128 levels; a deeper document goes to LogReader.
  static constexpr int kMaxDepth = 32;

  // --- tokens -------------------------------------------------------------
  // Every reader of a value starts at its first byte and leaves p_ just
  // after its last.
  void skip_space() noexcept {
    if (is_json_space(*p_)) p_ = skip_json_whitespace(p_);  // a call only when there is some
  }
  template <typename ReadElement>
  bool read_elements(ReadElement read_element);
  template <typename ReadMember>
  bool read_members(ReadMember read_member);
  bool read_literal(std::string_view literal) noexcept;
  bool read_key(std::string_view& key) noexcept;
  bool read_string(std::string& out);
  bool read_escaped(std::string& out);
  bool read_hex4(std::uint32_t& out) noexcept;
  bool read_integer(std::int64_t& out) noexcept;
  bool read_u8(std::uint8_t& out) noexcept;
  bool read_i32(std::int32_t& out) noexcept;
  bool read_f64(double& out) noexcept;
  bool read_generic_number(JsonValue& out) noexcept;
  bool read_generic(JsonValue& out, int depth);
  bool skip_string() noexcept;
  bool skip_value(int depth);

  // --- flat lists -----------------------------------------------------------
  template <typename Take>
  bool scan_flat_list(Take take);
  bool scan_flat_list();
  template <auto convert, typename T, std::size_t N>
  bool read_flat_array(std::array<T, N>& out);
  bool read_flat_tiles(std::vector<Tile>& out);
  bool read_flat_actions(std::vector<ActionItem>& out);

  // --- records --------------------------------------------------------------
  bool read_raw_log(RawLog& out);
  bool read_raw_log_field(std::size_t index, RawLog& out);
  bool read_rule(Rule& out);
  bool read_hand(HandEntry& out);
  bool read_hand_element(std::size_t index, HandEntry& out);
  bool read_result_item(ResultItem& out);
  template <typename T, typename ReadValue>
  bool read_optional(std::optional<T>& out, ReadValue read_value);
  bool read_strings(std::vector<std::string>& out);

  std::string_view text_;
  const char* p_;
  const char* end_;
  std::vector<FlatScalar> flat_;  // the entries of the latest flat list
};

// --- tokens ---------------------------------------------------------------

template <typename ReadElement>
bool DirectReader::read_elements(ReadElement read_element) {
  if (*p_ != '[') return false;
  ++p_;
  skip_space();
  if (*p_ == ']') {
    ++p_;
    return true;
  }
  for (;;) {
    if (!read_element()) return false;
    skip_space();
    if (*p_ == ']') {
      ++p_;
      return true;
    }
    if (*p_ != ',') return false;
    ++p_;
    skip_space();
  }
}

// `read_member` gets each key and reads the value that follows it.
template <typename ReadMember>
bool DirectReader::read_members(ReadMember read_member) {
  if (*p_ != '{') return false;
  ++p_;
  skip_space();
  if (*p_ == '}') {
    ++p_;
    return true;
  }
  for (;;) {
    std::string_view key;
    if (!read_key(key)) return false;
    skip_space();
    if (*p_ != ':') return false;
    ++p_;
    skip_space();
    if (!read_member(key)) return false;
    skip_space();
    if (*p_ == '}') {
      ++p_;
      return true;
    }
    if (*p_ != ',') return false;
    ++p_;
    skip_space();
  }
}

// The literal must end where a token may: LogReader's literal checks and the
// list and member loops here refuse anything else after it.
bool DirectReader::read_literal(std::string_view literal) noexcept {
  if (end_ - p_ < static_cast<std::ptrdiff_t>(literal.size()) || std::string_view(p_, literal.size()) != literal) {
    return false;
  }
  p_ += literal.size();
  return true;
}

// A key is compared unescaped; one written with escapes is not taken.
bool DirectReader::read_key(std::string_view& key) noexcept {
  if (*p_ != '"') return false;
  const char* const begin = ++p_;
  while (static_cast<unsigned char>(*p_) >= 0x20 && *p_ != '"' && *p_ != '\\') ++p_;
  if (*p_ != '"') return false;
  key = std::string_view(begin, static_cast<std::size_t>(p_ - begin));
  ++p_;
  return true;
}

bool DirectReader::read_string(std::string& out) {
  if (*p_ != '"') return false;
  const char* const begin = ++p_;
  while (static_cast<unsigned char>(*p_) >= 0x20 && *p_ != '"' && *p_ != '\\') ++p_;
  out.assign(begin, p_);
  if (*p_ == '"') {
    ++p_;
    return true;
  }
  return *p_ == '\\' && read_escaped(out);
}

// The rest of a string from its first backslash, decoded as the JSON layer
// decodes it.  A surrogate must come as a high and low pair.
bool DirectReader::read_escaped(std::string& out) {
  for (;;) {
    const char c = *p_;
    if (c == '"') {
      ++p_;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x20) return false;
    ++p_;
    if (c != '\\') {
      out += c;
      continue;
    }
    const char escape = *p_++;
    switch (escape) {
      case '"': case '\\': case '/': out += escape; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        std::uint32_t code_point = 0;
        if (!read_hex4(code_point)) return false;
        if (code_point >= 0xD800 && code_point < 0xDC00) {
          std::uint32_t low = 0;
          if (p_[0] != '\\' || p_[1] != 'u') return false;
          p_ += 2;
          if (!read_hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
          code_point = 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
        } else if (code_point >= 0xDC00 && code_point <= 0xDFFF) {
          return false;
        }
        append_utf8(out, code_point);
        break;
      }
      default: return false;
    }
  }
}

bool DirectReader::read_hex4(std::uint32_t& out) noexcept {
  out = 0;
  for (int k = 0; k < 4; ++k) {
    const int digit = hex_value(*p_);
    if (digit < 0) return false;
    out = out * 16 + static_cast<std::uint32_t>(digit);
    ++p_;
  }
  return true;
}

// An integer of at most 18 digits, without fraction or exponent.  "-0" is
// floating point to LogReader and not taken.
bool DirectReader::read_integer(std::int64_t& out) noexcept {
  const char* p = p_;
  const bool negative = *p == '-';
  if (negative) ++p;
  if (!is_digit(*p)) return false;
  std::int64_t value = *p++ - '0';
  if (value == 0) {
    if (negative) return false;
  } else {
    for (int digits = 1; is_digit(*p); ++digits) {
      if (digits == 18) return false;
      value = value * 10 + (*p++ - '0');
    }
  }
  if (*p == '.' || *p == 'e' || *p == 'E') return false;
  out = negative ? -value : value;
  p_ = p;
  return true;
}

bool DirectReader::read_u8(std::uint8_t& out) noexcept {
  std::int64_t value = 0;
  if (!read_integer(value) || value < 0 || value > std::numeric_limits<std::uint8_t>::max()) return false;
  out = static_cast<std::uint8_t>(value);
  return true;
}

bool DirectReader::read_i32(std::int32_t& out) noexcept {
  std::int64_t value = 0;
  if (!read_integer(value) || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  out = static_cast<std::int32_t>(value);
  return true;
}

// Any number, as its nearest double.  Both this and the JSON layer round
// correctly, so they agree, with two exceptions left to LogReader: a zero
// written with a minus sign (not trusted to agree on its sign), and a number
// with more than 19 digits before its exponent, which the JSON layer's
// generic number reading (simdjson 3.0.1 On-Demand get_number) turns into
// 0.0 where it should not.
bool DirectReader::read_f64(double& out) noexcept {
  const char* const end = scan_number_text(p_);
  if (end == nullptr) return false;
  const char* const digits = *p_ == '-' ? p_ + 1 : p_;
  if (std::find_if(digits, end, [](char c) { return c == 'e' || c == 'E'; }) - digits > 19) return false;
  const auto [stop, ec] = std::from_chars(p_, end, out);
  if (ec != std::errc{} || stop != end || (out == 0.0 && *p_ == '-')) return false;
  p_ = end;
  return true;
}

// A number as LogReader's Number keeps it: a non-negative integer, a
// negative integer, or floating point.
bool DirectReader::read_generic_number(JsonValue& out) noexcept {
  const char* const end = scan_number_text(p_);
  if (end == nullptr) return false;
  if (std::string_view(p_, static_cast<std::size_t>(end - p_)).find_first_of(".eE") == std::string_view::npos) {
    std::int64_t value = 0;
    if (!read_integer(value)) return false;  // too long for this reader, or "-0"
    if (value >= 0) {
      out.value = static_cast<std::uint64_t>(value);
    } else {
      out.value = value;
    }
    return true;
  }
  double value = 0.0;
  if (!read_f64(value)) return false;
  out.value = value;
  return true;
}

bool DirectReader::read_generic(JsonValue& out, int depth) {
  switch (*p_) {
    case '"': return read_string(out.value.emplace<std::string>());
    case '[': {
      if (depth >= kMaxDepth) return false;
      auto& array = out.value.emplace<JsonValue::Array>();
      return read_elements([&] { return read_generic(array.emplace_back(), depth + 1); });
    }
    case '{': {
      // Keys go through read_key: one written with escapes is not taken.
      if (depth >= kMaxDepth) return false;
      auto& members = out.value.emplace<JsonValue::Object>();
      return read_members([&](std::string_view key) {
        members.push_back(JsonMember{std::string(key), JsonValue{}});
        return read_generic(members.back().value, depth + 1);
      });
    }
    case 't':
      out.value = true;
      return read_literal("true");
    case 'f':
      out.value = false;
      return read_literal("false");
    case 'n':
      out.value = JsonNull{};
      return read_literal("null");
    default: return read_generic_number(out);
  }
}

// A string passed over: as in LogReader, only the form of each escape
// counts (an escaped lone surrogate passes).
bool DirectReader::skip_string() noexcept {
  ++p_;  // the opening quote
  for (;;) {
    const char c = *p_++;
    if (c == '"') return true;
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') continue;
    switch (*p_++) {
      case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
        break;
      case 'u':
        for (int k = 0; k < 4; ++k) {
          if (!is_hex_digit(*p_++)) return false;
        }
        break;
      default:
        return false;
    }
  }
}

bool DirectReader::skip_value(int depth) {
  switch (*p_) {
    case '"': return skip_string();
    case '[':
      if (depth >= kMaxDepth) return false;
      return read_elements([&] { return skip_value(depth + 1); });
    case '{':
      if (depth >= kMaxDepth) return false;
      // Keys go through read_key, so a skipped object with an escaped key
      // is not taken; LogReader checks it.
      return read_members([&](std::string_view) { return skip_value(depth + 1); });
    case 't': return read_literal("true");
    case 'f': return read_literal("false");
    case 'n': return read_literal("null");
    default: {
      // Any number in JSON's grammar, however large.
      const char* const end = scan_number_text(p_);
      if (end == nullptr) return false;
      p_ = end;
      return true;
    }
  }
}

// --- flat lists -------------------------------------------------------------
// Most lists of a hand are flat: integers of a few digits and the odd
// call-notation string.  A list of unknown length is scanned whole into
// flat_ first, so that it goes into a vector allocated once at its exact
// size (the allocations are a good part of the reading's cost).

// Hands each entry of the flat list at p_ to `take`, which may refuse it.
template <typename Take>
[[gnu::always_inline]] inline bool DirectReader::scan_flat_list(Take take) {
  // A local cursor stays in a register; p_ itself could be changed by any
  // store into flat_ as far as the compiler knows.
  const char* p = p_;
  if (*p != '[') return false;
  p = skip_json_whitespace(p + 1);
  if (*p != ']') {
    for (;;) {
      FlatScalar item;
      if (*p == '"') {
        const char* const begin = ++p;
        while (static_cast<unsigned char>(*p) >= 0x20 && *p != '"' && *p != '\\') ++p;
        if (*p != '"') return false;
        item.is_string = true;
        item.text = std::string_view(begin, static_cast<std::size_t>(p - begin));
        ++p;
      } else {
        const bool negative = *p == '-';
        if (negative) ++p;
        std::uint64_t value = static_cast<unsigned char>(*p) - '0';
        if (value > 9) return false;
        ++p;
        if (value == 0) {
          if (negative) return false;  // "-0"
        } else {
          for (std::uint64_t digit; (digit = static_cast<unsigned char>(*p) - '0') <= 9; ++p) {
            value = value * 10 + digit;
            // 18 digits at most: the value stays inside 63 bits.
            if (value >= 100'000'000'000'000'000) return false;
          }
        }
        item.integer = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
      }
      if (!take(item)) return false;
      // After an entry only a comma or the closing bracket may come, which
      // also refuses a fraction or exponent after the digits.  The common
      // cases stay inline: a comma straight after the entry, followed by
      // nothing or one space.  A line break means one entry per line, and
      // the indentation after it goes the fast way.
      if (*p != ',') {
        p = skip_json_whitespace(p);
        if (*p == ']') break;
        if (*p != ',') return false;
      }
      ++p;
      if (*p == ' ') ++p;
      if (is_json_space(*p)) p = skip_json_whitespace(p);
    }
  }
  p_ = p + 1;
  return true;
}

// Collects the entries into flat_.
bool DirectReader::scan_flat_list() {
  flat_.clear();
  return scan_flat_list([&](const FlatScalar& item) {
    flat_.push_back(item);
    return true;
  });
}

// Conversions of flat entries, each as strict as LogReader's reading of the
// same field; false means the document is not taken.
bool flat_u8(const FlatScalar& item, std::uint8_t& out) noexcept {
  if (item.is_string || item.integer < 0 || item.integer > std::numeric_limits<std::uint8_t>::max()) return false;
  out = static_cast<std::uint8_t>(item.integer);
  return true;
}

bool flat_i32(const FlatScalar& item, std::int32_t& out) noexcept {
  if (item.is_string || item.integer < std::numeric_limits<std::int32_t>::min() ||
      item.integer > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  out = static_cast<std::int32_t>(item.integer);
  return true;
}

// The tile of every byte as tile_from_code gives it, so that a tile code
// costs one lookup and one test.
constexpr std::array<std::optional<Tile>, 256> kTileOfByte = [] {
  std::array<std::optional<Tile>, 256> table{};
  for (std::size_t code = 0; code < detail::kCodeTableSize; ++code) {
    if (((detail::kValidCodeMask >> code) & 1) != 0) table[code] = Tile::from_index(detail::kIndexOfCode[code]);
  }
  return table;
}();

bool flat_tile(const FlatScalar& item, Tile& out) noexcept {
  std::uint8_t code = 0;
  if (!flat_u8(item, code)) return false;
  const std::optional<Tile>& tile = kTileOfByte[code];
  if (!tile) return false;
  out = *tile;
  return true;
}

// Fills `out` from a flat list of exactly as many entries.
template <auto convert, typename T, std::size_t N>
bool DirectReader::read_flat_array(std::array<T, N>& out) {
  std::size_t count = 0;
  const bool read = scan_flat_list([&](const FlatScalar& item) { return count < N && convert(item, out[count++]); });
  return read && count == N;
}

bool DirectReader::read_flat_tiles(std::vector<Tile>& out) {
  if (!scan_flat_list()) return false;
  out.resize(flat_.size());
  for (std::size_t i = 0; i < flat_.size(); ++i) {
    if (!flat_tile(flat_[i], out[i])) return false;
  }
  return true;
}

// An entry is a tile code, another small integer, or call notation, as in
// LogReader::read_action_item.
bool DirectReader::read_flat_actions(std::vector<ActionItem>& out) {
  if (!scan_flat_list()) return false;
  out.reserve(flat_.size());
  for (const FlatScalar& item : flat_) {
    if (item.is_string) {
      out.emplace_back(std::in_place_type<std::string>, item.text);
      continue;
    }
    std::uint8_t code = 0;
    if (!flat_u8(item, code)) return false;
    if (const std::optional<Tile>& tile = kTileOfByte[code]) {
      out.emplace_back(*tile);
    } else {
      out.emplace_back(code);
    }
  }
  return true;
}

// --- records ----------------------------------------------------------------

bool DirectReader::read(RawLog& out) {
  // The JSON layer checks the encoding of the whole text before anything
  // else; so does this reader.
  if (!simdjson::validate_utf8(text_.data(), text_.size())) return false;
  skip_space();
  if (!read_raw_log(out)) return false;
  skip_space();
  return p_ == end_;
}

bool DirectReader::read_raw_log(RawLog& out) {
  std::array<bool, kRawLogKeys.size()> seen{};
  const bool read = read_members([&](std::string_view key) {
    const int index = key_index(kRawLogKeys, key);
    if (index < 0) return skip_value(1);
    if (seen[static_cast<std::size_t>(index)]) return false;
    seen[static_cast<std::size_t>(index)] = true;
    return read_raw_log_field(static_cast<std::size_t>(index), out);
  });
  return read && seen[0] && seen[1] && seen[2];  // `log`, `name` and `rule` are required
}

bool DirectReader::read_raw_log_field(std::size_t index, RawLog& out) {
  switch (index) {
    case 0:
      out.log.reserve(16);
      return read_elements([&] { return read_hand(out.log.emplace_back()); });
    case 1: {
      std::size_t count = 0;
      const bool read = read_elements([&] { return count < kSeatCount && read_string(out.name[count++]); });
      return read && count == kSeatCount;
    }
    case 2: return read_rule(out.rule);
    case 3: return read_optional(out.ratingc, [&](std::string& text) { return read_string(text); });
    case 4: return read_optional(out.lobby, [&](std::int32_t& v) { return read_i32(v); });
    case 5: return read_optional(out.dan, [&](std::vector<std::string>& texts) { return read_strings(texts); });
    case 6:
      return read_optional(out.rate, [&](std::vector<double>& numbers) {
        return read_elements([&] { return read_f64(numbers.emplace_back()); });
      });
    default: return read_optional(out.sx, [&](std::vector<std::string>& texts) { return read_strings(texts); });
  }
}

template <typename T, typename ReadValue>
bool DirectReader::read_optional(std::optional<T>& out, ReadValue read_value) {
  if (*p_ == 'n') {
    out.reset();
    return read_literal("null");
  }
  return read_value(out.emplace());
}

bool DirectReader::read_strings(std::vector<std::string>& out) {
  return read_elements([&] { return read_string(out.emplace_back()); });
}

bool DirectReader::read_rule(Rule& out) {
  std::array<bool, kRuleKeys.size()> seen{};
  return read_members([&](std::string_view key) {
    const int index = key_index(kRuleKeys, key);
    if (index < 0) return skip_value(2);
    if (seen[static_cast<std::size_t>(index)]) return false;
    seen[static_cast<std::size_t>(index)] = true;
    switch (index) {
      case 0: return read_string(out.disp);
      case 1: return read_u8(out.aka);
      case 2: return read_u8(out.aka51);
      case 3: return read_u8(out.aka52);
      default: return read_u8(out.aka53);
    }
  });
}

bool DirectReader::read_hand(HandEntry& out) {
  std::size_t count = 0;
  const bool read = read_elements([&] { return read_hand_element(count++, out); });
  return read && count == 17;
}

bool DirectReader::read_hand_element(std::size_t index, HandEntry& out) {
  switch (index) {
    case 0: {
      std::array<std::uint8_t, 3> id{};
      if (!read_flat_array<flat_u8>(id)) return false;
      out.id = HandId{id[0], id[1], id[2]};
      return true;
    }
    case 1: return read_flat_array<flat_i32>(out.scores);
    case 2: return read_flat_tiles(out.dora_indicators);
    case 3: return read_flat_tiles(out.ura_indicators);
    case 16:
      out.result.reserve(4);
      return read_elements([&] { return read_result_item(out.result.emplace_back()); });
    default: break;
  }
  if (index > 16) return false;
  SeatRecord& seat = out.seats[(index - 4) / 3];
  switch ((index - 4) % 3) {
    case 0: return read_flat_array<flat_tile>(seat.hand);
    case 1: return read_flat_actions(seat.takes);
    default: return read_flat_actions(seat.discards);
  }
}

// As LogReader::read_result_array decides: an array is four score changes
// when it holds exactly four integers within 32 bits, and generic values
// otherwise.
bool DirectReader::read_result_item(ResultItem& out) {
  if (*p_ == '"') return read_string(out.emplace<std::string>());
  if (*p_ != '[') return false;
  const char* const start = p_;
  // The usual four score changes are a flat list.
  if (scan_flat_list() && flat_.size() == kSeatCount) {
    Scores deltas{};
    std::size_t fitting = 0;
    while (fitting < kSeatCount && flat_i32(flat_[fitting], deltas[fitting])) ++fitting;
    if (fitting == kSeatCount) {
      out = deltas;
      return true;
    }
  }
  p_ = start;
  auto& values = out.emplace<std::vector<JsonValue>>();
  if (!read_elements([&] { return read_generic(values.emplace_back(), 1); })) return false;
  const auto fits = [](const JsonValue& value) {
    if (const auto* n = std::get_if<std::uint64_t>(&value.value)) {
      return *n <= std::uint64_t{std::numeric_limits<std::int32_t>::max()};
    }
    if (const auto* n = std::get_if<std::int64_t>(&value.value)) {
      return *n >= std::numeric_limits<std::int32_t>::min();
    }
    return false;
  };
  if (values.size() == kSeatCount && std::all_of(values.begin(), values.end(), fits)) {
    Scores deltas{};
    for (std::size_t i = 0; i < kSeatCount; ++i) {
      if (const auto* n = std::get_if<std::uint64_t>(&values[i].value)) {
        deltas[i] = static_cast<std::int32_t>(*n);
      } else {
        deltas[i] = static_cast<std::int32_t>(std::get<std::int64_t>(values[i].value));
      }
    }
    out = deltas;
  }
  return true;
}

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
  bool fail_json(error_code code) {
    return fail(std::string("malformed JSON: ") + simdjson::error_message(code));
  }
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
      case od::number_type::unsigned_integer:
        out = Number::of_unsigned(number.get_uint64());
        return true;
      case od::number_type::floating_point_number:
        out = Number::of_float(number.get_double());
        return true;
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
    case od::json_type::array:
      found = "sequence";
      return true;
    case od::json_type::object:
      found = "map";
      return true;
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

bool LogReader::read_u8(od::value& value, std::uint8_t& out) {
  std::uint64_t v = 0;
  if (value.get_uint64().get(v) == simdjson::SUCCESS) {
    if (v <= std::numeric_limits<std::uint8_t>::max()) {
      out = static_cast<std::uint8_t>(v);
      return true;
    }
    return fail(invalid_integer_message(v, "u8"));
  }
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type != od::json_type::number) return fail_type(value, "u8");
  Number number;
  if (!read_number(value, number)) return false;
  switch (number.kind) {
    case Number::Kind::kUnsigned: return fail(invalid_integer_message(number.unsigned_value, "u8"));
    case Number::Kind::kSigned: return fail(invalid_integer_message(number.signed_value, "u8"));
    case Number::Kind::kFloat: break;
  }
  return fail(type_message(number.description(), "u8"));
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
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type != od::json_type::number) return fail_type(value, "i32");
  Number number;
  if (!read_number(value, number)) return false;
  switch (number.kind) {
    case Number::Kind::kUnsigned: return fail(invalid_integer_message(number.unsigned_value, "i32"));
    case Number::Kind::kSigned: return fail(invalid_integer_message(number.signed_value, "i32"));
    case Number::Kind::kFloat: break;
  }
  return fail(type_message(number.description(), "i32"));
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
bool LogReader::read_exactly(od::value& value, std::size_t count, std::string_view name,
                             std::string_view length_text, ReadElement read_element) {
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
      while (!token.empty() && (token.back() == ' ' || token.back() == '\t' || token.back() == '\n' ||
                                token.back() == '\r')) {
        token.remove_suffix(1);
      }
      if (!is_number_text(token)) return fail_syntax("invalid number");
      return true;
    }
    default:
      return check_literal(value, type);
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
        const bool fits = (number.kind == Number::Kind::kUnsigned &&
                           number.unsigned_value <= std::uint64_t{std::numeric_limits<std::int32_t>::max()}) ||
                          (number.kind == Number::Kind::kSigned &&
                           number.signed_value >= std::numeric_limits<std::int32_t>::min());
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
  return read_record_object(value, kRuleKeys, seen, [&](std::size_t index, od::value& field) {
    return read_rule_field(index, field, out);
  });
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
  if (!read_record_object(value, kRawLogKeys, seen, [&](std::size_t index, od::value& field) {
        return read_raw_log_field(index, field, out);
      })) {
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

  // Most logs are taken by the direct reader; the rest, and every one with
  // something to complain about, are read again from the start here.
  if (RawLog log; DirectReader(text).read(log)) return log;

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
