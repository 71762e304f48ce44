#include "kiroku/read/read_messages.h"

#include <charconv>  // to_chars, from_chars
#include <string>

namespace kiroku::detail {

std::string float_text(double value) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  (void)ec;  // 64 bytes hold any double in scientific form
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));

  std::string out;
  if (!text.empty() && text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t e_pos = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e_pos)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::string_view exponent_text = text.substr(e_pos + 1);
  if (!exponent_text.empty() && exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);

  // The value is 0.<digits> times ten to the power of `point`.
  const long point = exponent + 1L;
  const auto digit_count = static_cast<long>(digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (point >= digit_count) {
    out += digits;
    out.append(static_cast<std::size_t>(point - digit_count), '0');
    out += ".0";
  } else {
    out.append(digits, 0, static_cast<std::size_t>(point));
    out += '.';
    out.append(digits, static_cast<std::size_t>(point));
  }
  return out;
}

std::string type_message(std::string_view found, std::string_view expected) {
  std::string message = "invalid type: ";
  message += found;
  message += ", expected ";
  message += expected;
  return message;
}

std::string invalid_length_message(std::size_t length, std::string_view expected) {
  return "invalid length " + std::to_string(length) + ", expected " + std::string(expected);
}

}  // namespace kiroku::detail
