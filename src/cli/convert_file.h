// One log, a file or a database row, through the whole conversion to its
// output.
#pragma once

#include <cstddef>

#include "cli/job.h"
#include "cli/memory_budget.h"
#include "cli/options.h"
#include "kiroku/io/file_reader.h"

namespace kiroku::cli {

struct ConvertSettings {
  OutputForm form = OutputForm::Mjai;
  bool gzip = false;                            // compress the output
  bool skip_existing = false;                   // pass over a log whose output exists
  std::size_t max_bytes = kDefaultMaxLogBytes;  // the longest log text taken
  int cancel_fd = -1;                           // ends waits on FIFOs, devices and the budget once readable
};

// Reads the job's log within `budget`, converts it a hand at a time and
// writes each hand's events to its output as they come; the output is put
// in place only once the whole log has converted, and is left as it was
// when any step fails.  A three-player game read out of a database or found
// in a directory is passed over; named on its own, it fails.  A row's stored
// bytes are let go once read.
[[nodiscard]] Outcome convert_job(Job& job, const ConvertSettings& settings, MemoryBudget& budget);

}  // namespace kiroku::cli
