// The log file: opened and read whole through POSIX calls, plain or
// compressed, checked to be UTF-8, and its failures raised as the module
// reports them.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "kiroku/io/file_reader.h"
#include "kiroku/io/padded_text.h"

namespace kiroku {

// The file could not be opened, for whatever reason.
struct OpenFailure {
  int error_number = 0;
};

using InputError = std::variant<OpenFailure, LogFileError>;

// The whole text of the file at `path` (file-system bytes), decompressed when
// it is gzip, bzip2, lz4, zstd or xz data, at most kDefaultMaxLogBytes long.  The file is closed
// before this returns, on every path.
[[nodiscard]] std::expected<PaddedText, InputError> read_log_file(const std::string& path);

// FileNotFoundError "failed to open tenhou log file \"<path>\"", or OSError:
// "stream did not contain valid UTF-8", "log file exceeds the size limit of
// 1 GiB", "decompressed log exceeds the size limit of 1 GiB" (whatever the
// codec), "invalid <codec> data: <reason>" ("invalid gzip data: unexpected end
// of file", "invalid xz data: compressed data is corrupt"), or the system
// error's class and text.
std::nullptr_t raise_input_error(const InputError& error, std::string_view path);

}  // namespace kiroku
