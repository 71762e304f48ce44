#include "kiroku/io/quoted_text.h"

#include <algorithm>

#include <cstdint>

#include "kiroku/io/utf8.h"

namespace kiroku {

namespace {

// Code points in lower case, as string-literal escapes show them; bytes in
// upper case, as a hex dump does.
constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::string_view kHexByteDigits = "0123456789ABCDEF";

char32_t decode(std::string_view sequence) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<std::uint8_t>(sequence[i])); };
  switch (sequence.size()) {
    case 1: return byte(0);
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default: return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
  }
}

// Characters a terminal acts on rather than shows: controls, and those that
// end a line or reorder the text around them.
bool needs_escape(char32_t c) noexcept {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

void detail::append_code_point(std::string& out, char32_t c) {
  out += "\\u{";
  bool leading = true;
  for (int shift = 20; shift >= 0; shift -= 4) {
    const auto digit = static_cast<std::size_t>((c >> shift) & 0xF);
    if (digit == 0 && leading && shift > 0) continue;
    leading = false;
    out += kHexDigits[digit];
  }
  out += '}';
}

namespace {

void append_character(std::string& out, std::string_view sequence, char32_t c) {
  switch (c) {
    case U'"': out += "\\\""; return;
    case U'\\': out += "\\\\"; return;
    case U'\n': out += "\\n"; return;
    case U'\r': out += "\\r"; return;
    case U'\t': out += "\\t"; return;
    case U'\0': out += "\\0"; return;
    default: break;
  }
  if (needs_escape(c)) {
    detail::append_code_point(out, c);
  } else {
    out += sequence;
  }
}

}  // namespace

std::string detail::quoted_with(std::string_view bytes, AppendCharacter append, std::size_t max_characters) {
  std::string out;
  out.reserve(std::min(bytes.size(), max_characters) + 2);
  out += '"';
  std::size_t pos = 0;
  for (std::size_t characters = 0; pos < bytes.size(); ++characters) {
    if (characters == max_characters) {
      out += "\"...";
      return out;
    }
    std::size_t invalid_length = 0;
    const std::size_t length = utf8_sequence_length(bytes.substr(pos), invalid_length);
    if (length != 0) {
      const std::string_view sequence = bytes.substr(pos, length);
      append(out, sequence, decode(sequence));
      pos += length;
      continue;
    }
    // The bytes of an invalid sequence are shown, and counted, one by one.
    const auto value = static_cast<std::uint8_t>(bytes[pos]);
    out += "\\x";
    out += kHexByteDigits[value >> 4];
    out += kHexByteDigits[value & 0x0F];
    pos += 1;
  }
  out += '"';
  return out;
}

std::string quoted_text(std::string_view bytes) { return detail::quoted_with(bytes, append_character); }

std::string quoted_log_text(std::string_view bytes) {
  return detail::quoted_with(bytes, append_character, kShownCharacters);
}

std::string shown_log_name(std::string_view bytes) {
  const bool plain = !bytes.empty() && bytes.size() <= kShownCharacters && std::ranges::all_of(bytes, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':';
  });
  return plain ? std::string(bytes) : quoted_log_text(bytes);
}

}  // namespace kiroku
