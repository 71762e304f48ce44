// File paths as they appear inside messages.
#pragma once

#include <string>
#include <string_view>

namespace kiroku {

// The path between double quotes, each character escaped as in a string
// literal: \\ \" \' \t \r \n \0; other control, non-printable and combining
// (grapheme-extending) characters as \u{hex}; bytes outside valid UTF-8 as
// \xHH.  "/data/log.json" stays itself between quotes.
std::string quoted_path(std::string_view path);

// The path read as UTF-8, each invalid sequence replaced by U+FFFD.
std::string display_path(std::string_view path);

}  // namespace kiroku
