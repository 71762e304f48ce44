// Flat lists: a hand's usual lists, read straight from the text.
//
// Most lists of a hand hold small integers and the odd call-notation
// string.  Through On-Demand each entry is wrapped, peeked, parsed and
// checked for errors at several layers, a hundred instructions or more
// for a tile code; scanned from the bytes it costs a tenth of that.

#include <bit>  // countr_zero, endian
#include <cstdint>
#include <cstring>  // memcpy
#include <string_view>
#include <vector>

#include "kiroku/read/json_reader_detail.h"

namespace kiroku::detail {

namespace {

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

}  // namespace

bool scan_flat_list(const char* p, std::vector<FlatEntry>& out) {
  if (*p != '[') return false;
  p = skip_json_whitespace(p + 1);
  if (*p == ']') return true;
  for (;;) {
    FlatEntry entry;
    if (*p == '"') {
      const char* const begin = ++p;
      while (static_cast<unsigned char>(*p) >= 0x20 && *p != '"' && *p != '\\') ++p;
      if (*p != '"') return false;  // an escape or a control character
      entry.is_string = true;
      entry.text = std::string_view(begin, static_cast<std::size_t>(p - begin));
      ++p;
    } else {
      const bool negative = *p == '-';
      if (negative) ++p;
      std::uint64_t value = static_cast<unsigned char>(*p) - std::uint64_t{'0'};
      if (value > 9) return false;
      ++p;
      if (value == 0) {
        if (negative) return false;  // "-0" is floating point
      } else {
        for (std::uint64_t digit; (digit = static_cast<unsigned char>(*p) - std::uint64_t{'0'}) <= 9; ++p) {
          value = value * 10 + digit;
          if (value >= 100'000'000'000'000'000) return false;  // 18 digits: let the full reading judge it
        }
      }
      entry.integer = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    }
    out.push_back(entry);
    // Only a comma or the closing bracket may follow an entry, which also
    // refuses a fraction, an exponent or a leading zero after its digits.
    // The common case stays inline: a comma straight after the entry.
    if (*p != ',') {
      p = skip_json_whitespace(p);
      if (*p == ']') return true;
      if (*p != ',') return false;
    }
    ++p;
    if (is_json_space(*p)) p = skip_json_whitespace(p);
  }
}

}  // namespace kiroku::detail
