// The log file: opened and read whole through POSIX calls, checked to be
// UTF-8, and its failures raised as the module reports them.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "kiroku/io/padded_text.h"

namespace kiroku {

struct InputError {
  enum class Kind {
    Open,         // the file could not be opened, for whatever reason
    InvalidUtf8,  // the content as a whole is not UTF-8
    Read,         // a read failed; error_number says why
  };
  Kind kind = Kind::Open;
  int error_number = 0;
};

// The whole content of the file at `path` (file-system bytes).  The file is
// closed before this returns, on every path.
[[nodiscard]] std::expected<PaddedText, InputError> read_log_file(const std::string& path);

// FileNotFoundError "failed to open tenhou log file \"<path>\"", OSError
// "stream did not contain valid UTF-8", or the system error's class and text.
std::nullptr_t raise_input_error(const InputError& error, std::string_view path);

}  // namespace kiroku
