// One log file through the whole conversion to its output.
#pragma once

#include <cstddef>
#include <expected>
#include <string>

#include "cli/plan.h"

namespace kiroku::cli {

struct Converted {
  std::size_t input_bytes = 0;     // the log's text, decompressed
  std::size_t events = 0;          // events written
  std::size_t hands_searched = 0;  // hands that needed the search past the retry rule
};

// Reads the job's log, converts it and writes its output (compressed with
// `gzip`).  Nothing is written when any step fails.  The error is the
// step's one-line diagnostic without the file name: "read: missing field
// `log`", "convert: hand 5 (honba 1), seat 2: ...", "gzip: ...", "write: ...".
[[nodiscard]] std::expected<Converted, std::string> convert_file(const Job& job, bool gzip);

}  // namespace kiroku::cli
