// Bytes from outside (log contents, file names) as they may appear in a
// one-line message: quoted, with nothing a terminal would act on.
#pragma once

#include <cstddef>
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

// How much of a log's bytes a message shows: a message stays one short line
// whatever the log holds.
inline constexpr std::size_t kShownCharacters = 80;

// The same for bytes that come from a log, at most kShownCharacters
// characters of them: a longer text is cut and "..." follows the closing
// quote.
std::string quoted_log_text(std::string_view bytes);

// Bytes from a log that name something (an element, a key) as a message
// shows them: as they are when they are a plain name (ASCII letters, digits,
// '_', '-', '.', ':', at most kShownCharacters), otherwise quoted_log_text.
std::string shown_log_name(std::string_view bytes);

namespace detail {

// How a quoting writes one valid character: `sequence` is its UTF-8 bytes,
// `c` its code point.
using AppendCharacter = void (*)(std::string& out, std::string_view sequence, char32_t c);

// The bytes between double quotes, read as UTF-8: each character as
// `append` writes it, each byte outside valid UTF-8 as \xHH; after
// `max_characters` of them, cut, with "..." after the closing quote.
std::string quoted_with(std::string_view bytes, AppendCharacter append,
                        std::size_t max_characters = static_cast<std::size_t>(-1));

// \u{1b} for U+001B: the code point in lower-case hex, no leading zeros.
void append_code_point(std::string& out, char32_t c);

}  // namespace detail

}  // namespace kiroku
