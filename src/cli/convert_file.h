// One log file through the whole conversion to its output.
#pragma once

#include <cstddef>
#include <expected>
#include <string>

#include "cli/memory_budget.h"
#include "cli/plan.h"

namespace kiroku::cli {

struct Converted {
  std::size_t input_bytes = 0;     // the log's text, decompressed
  std::size_t events = 0;          // events written
  std::size_t hands_searched = 0;  // hands that needed the search past the retry rule
};

struct ConvertSettings {
  bool gzip = false;                            // compress the output
  std::size_t max_bytes = kDefaultMaxLogBytes;  // the longest log text taken
  int cancel_fd = -1;                           // ends waits on FIFOs, devices and the budget once readable
};

struct ConvertFailure {
  // The step's one-line diagnostic without the file name: "read: missing
  // field `log`", "convert: hand 5 (honba 1), seat 2: ...", "gzip: ...",
  // "write: ...".
  std::string diagnostic;
  bool standard_output_closed = false;  // nobody reads standard output any more
};

// Reads the job's log within `budget`, converts it a hand at a time and
// writes each hand's events to its output as they come; the output is put
// in place only once the whole log has converted, and is left as it was
// when any step fails.
[[nodiscard]] std::expected<Converted, ConvertFailure> convert_file(const Job& job, const ConvertSettings& settings,
                                                                    MemoryBudget& budget);

}  // namespace kiroku::cli
