// Bytes from outside (log contents, file names) as they may appear in a
// one-line message: quoted, with nothing a terminal would act on.
#pragma once

#include <string>
#include <string_view>

namespace kiroku {

// The bytes between double quotes, read as UTF-8.  A quote and a backslash
// get a backslash; line feed, carriage return, tab and NUL become \n, \r, \t
// and \0; every other control character (C0, DEL, C1) and the characters
// that reorder or break a line of text (U+2028, U+2029 and the bidirectional
// overrides and isolates) become \u{hex}; every byte outside valid UTF-8
// becomes \xHH.  Everything else is copied, so "abc" is "\"abc\"" and a name
// in Japanese script stays readable.
std::string quoted_text(std::string_view bytes);

namespace detail {

// How a quoting writes one valid character: `sequence` is its UTF-8 bytes,
// `c` its code point.
using AppendCharacter = void (*)(std::string& out, std::string_view sequence, char32_t c);

// The bytes between double quotes, read as UTF-8: each character as
// `append` writes it, each byte outside valid UTF-8 as \xHH.
std::string quoted_with(std::string_view bytes, AppendCharacter append);

// \u{1b} for U+001B: the code point in lower-case hex, no leading zeros.
void append_code_point(std::string& out, char32_t c);

}  // namespace detail

}  // namespace kiroku
