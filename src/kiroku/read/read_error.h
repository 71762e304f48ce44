// Why a text is not a log document, whatever its format.
#pragma once

#include <string>

namespace kiroku {

// The first failure met, as one line ("missing field `log`", "invalid
// length 3, expected an array of length 4", "<INIT> at byte 2301: attribute
// hai2 holds 12 tiles, expected 13", or the parsing library's own message
// for a syntax error).
struct ReadError {
  std::string message;
};

}  // namespace kiroku
