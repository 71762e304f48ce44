// Finding the logs named on the command line.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/failure.h"

namespace kiroku::cli {

// Where one log comes from.
struct LogSource {
  std::filesystem::path path;       // empty for standard input
  bool standard_input = false;      // the argument "-"
  bool found_in_directory = false;  // then only a regular file is read
};

// The name diagnostics give the source: "-" for standard input, otherwise
// its path (raw bytes; display.h shows it).
std::string source_name(const LogSource& source);

struct InputFile {
  LogSource source;
  // Where its output goes below the output directory: its path below the
  // directory argument it was found in, or its bare name when it was named
  // itself.
  std::filesystem::path relative;
};

struct InputList {
  std::vector<InputFile> files;
  std::vector<LogSource> databases;  // log databases, each read row by row
  std::vector<Failure> failures;     // arguments that do not exist, directories that cannot be listed
  std::vector<Failure> passed_over;  // FIFOs, devices and sockets found in directories
};

// The size of the log extension `name` ends with: ".json", ".mjlog" or
// ".xml", maybe followed by ".gz", ".bz2", ".lz4", ".zst" or ".xz"; 0 when
// it has none.
std::size_t log_extension_size(std::string_view name);

// Whether `name` is that of a log a directory walk takes.
bool is_log_name(std::string_view name);

// Whether `name` is that of a log database a directory walk takes: ".db",
// ".sqlite" or ".sqlite3".
bool is_database_name(std::string_view name);

// Whether the file at `path` starts as an SQLite database does; false when
// it cannot be read (reading it as a log then says why).
bool is_database_file(const std::filesystem::path& path);

// A file argument is taken whatever its name and type (the plan keeps "-"
// out of batches), as a database when it starts as one; a directory
// argument is walked recursively for log and database names.  Inside
// directories only regular files are taken.  Symbolic links to files are
// followed, links to directories are not (a link cycle would never end).
// Each directory's logs come sorted by path, so runs are reproducible.
InputList collect_inputs(std::span<const std::string> arguments);

}  // namespace kiroku::cli
