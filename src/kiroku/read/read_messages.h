// The texts of the log reader's messages: how a found value is described,
// and the fixed message shapes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kiroku::detail {

// A floating-point number as type messages show it: the shortest digits
// that read back to the same double, in plain decimal notation (never an
// exponent), with ".0" added when no decimal point shows ("100.0", "-0.0").
std::string float_text(double value);

// "invalid type: <found>, expected <expected>"
std::string type_message(std::string_view found, std::string_view expected);

// "invalid length <length>, expected <expected>"
std::string invalid_length_message(std::size_t length, std::string_view expected);

// "invalid value: integer `<value>`, expected <expected>"
template <typename Integer>
std::string invalid_integer_message(Integer value, std::string_view expected) {
  return "invalid value: integer `" + std::to_string(value) + "`, expected " + std::string(expected);
}

}  // namespace kiroku::detail
