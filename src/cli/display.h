// Bytes from outside (file names, arguments) as diagnostics show them, so
// that one diagnostic is always one line.
#pragma once

#include <string>
#include <string_view>

namespace kiroku::cli {

// `bytes` as they are when they read safely on a line of their own kind;
// otherwise kiroku::quoted_text(bytes), in double quotes with escapes.  A
// name reads safely when it is not empty and holds nothing that quoting
// escapes (control characters, line or order breakers, bytes outside UTF-8,
// a double quote, a backslash) and no ": ", which would blur where the name
// ends in "FILE: diagnostic".
std::string shown(std::string_view bytes);

// The same inside a usage error: 'bytes' in single quotes when they read
// safely and hold no single quote, otherwise the double-quoted form.
std::string shown_quoted(std::string_view bytes);

}  // namespace kiroku::cli
