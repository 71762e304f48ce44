#include "kiroku/read/direct_log_reader.h"

#include <simdjson.h>  // validate_utf8

#include <algorithm>
#include <array>
#include <bit>       // countr_zero, endian
#include <charconv>  // from_chars
#include <cstddef>
#include <cstdint>
#include <cstring>  // memcpy
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kiroku/json_value.h"
#include "kiroku/read/log_keys.h"
#include "kiroku/tile.h"

namespace kiroku::detail {

namespace {

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
  explicit DirectReader(const PaddedText& text) : text_(text.view()), p_(text.data()), end_(text.data() + text.size()) {
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
      case '"':
      case '\\':
      case '/': out += escape; break;
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
    case 't': out.value = true; return read_literal("true");
    case 'f': out.value = false; return read_literal("false");
    case 'n': out.value = JsonNull{}; return read_literal("null");
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
          if (!is_hex_digit(*p_++)) return false;
        }
        break;
      default: return false;
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
    case 0: out.log.reserve(16); return read_elements([&] { return read_hand(out.log.emplace_back()); });
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
    case 16: out.result.reserve(4); return read_elements([&] { return read_result_item(out.result.emplace_back()); });
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

}  // namespace

bool read_log_directly(const PaddedText& text, RawLog& out) { return DirectReader(text).read(out); }

}  // namespace kiroku::detail
