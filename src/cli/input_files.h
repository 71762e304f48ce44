// Finding the logs named on the command line, and reading one log file.
#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "cli/failure.h"
#include "kiroku/io/file_reader.h"
#include "kiroku/io/padded_text.h"

namespace kiroku::cli {

struct InputFile {
  std::filesystem::path path;
  // Where its output goes below the output directory: its path below the
  // directory argument it was found in, or its bare name when it was named
  // itself.
  std::filesystem::path relative;
};

struct InputList {
  std::vector<InputFile> files;
  std::vector<Failure> failures;  // arguments that do not exist, directories that cannot be listed
};

// A file argument is taken whatever its name; a directory argument is walked
// recursively for "*.json" and "*.json.gz".  Symbolic links to files are
// followed, links to directories are not (a link cycle would never end).
// Each directory's logs come sorted by path, so runs are reproducible.
InputList collect_inputs(std::span<const std::string> arguments);

// Logs larger than this, decompressed, are refused rather than held in memory.
inline constexpr std::size_t kMaxLogBytes = kDefaultMaxLogBytes;

// The whole text of one log file, decompressed when it starts with the gzip
// magic bytes (whatever its name).  Like the Python module's file reader, the
// text must be valid UTF-8 as a whole.  The error is one line for people:
// "open: No such file or directory", "gzip: unexpected end of file".
[[nodiscard]] std::expected<PaddedText, std::string> read_log_file(const std::filesystem::path& path);

}  // namespace kiroku::cli
