// Naming and writing the mjai files.
#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace kiroku::cli {

// The output's path below the output directory for an input found at
// `relative`: ".json" or ".json.gz" replaced by ".mjson" (".mjson.gz" with
// `gzip`); a name without either gets the extension appended.
std::filesystem::path output_relative_path(const std::filesystem::path& relative, bool gzip);

// Writes `bytes` as the whole new content of `target`: into a fresh temporary
// file beside it, then renamed over it, so that `target` never holds part of
// them, even when the process is killed midway.  Missing parent directories
// are created.  The file gets the mode of any newly created file (0666 less
// the umask).  On failure no temporary file is left and `target` is as it
// was.  Not synced to disk: a power loss may still lose a finished file.
// The error is one line for people ("write: out/a.mjson: No space left on device").
[[nodiscard]] std::expected<void, std::string> write_file_atomically(const std::filesystem::path& target,
                                                                     std::string_view bytes);

// Writes all of `bytes` to standard output.
[[nodiscard]] std::expected<void, std::string> write_standard_output(std::string_view bytes);

}  // namespace kiroku::cli
