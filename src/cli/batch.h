// Converting many logs on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "cli/plan.h"
#include "cli/stopping.h"
#include "kiroku/io/file_reader.h"

namespace kiroku::cli {

struct BatchTotals {
  std::size_t total = 0;      // logs in the batch
  std::size_t converted = 0;  // logs written
  std::size_t failed = 0;
  std::size_t skipped = 0;  // not started: --fail-fast after a failure, or an interrupt
  std::uint64_t events = 0;
  std::uint64_t input_bytes = 0;  // text of the converted logs

  std::size_t done() const noexcept { return converted + failed; }
};

// What the batch tells its caller while it runs.  Calls come from the worker
// threads, one at a time.
class BatchReporter {
 public:
  virtual ~BatchReporter() = default;
  // "convert: hand 5 (honba 1), seat 2: ..." for the log `job`.
  virtual void failed(const Job& job, std::string_view diagnostic) = 0;
  // The log converted only thanks to the search past the retry rule.
  virtual void searched(const Job& job, std::size_t hands) = 0;
  // After every finished log.
  virtual void progressed(const BatchTotals& totals) = 0;
  // Writing the log `job` to standard output found nobody reading it; the
  // log counts as failed.
  virtual void standard_output_closed(const Job& job) = 0;
};

struct BatchOptions {
  unsigned jobs = 1;  // threads, at least 1
  bool gzip = false;
  bool fail_fast = false;
  std::size_t max_bytes = kDefaultMaxLogBytes;  // the longest log text taken
  std::size_t memory_bytes = 0;                 // what the running jobs hold together (memory_budget.h)
};

// Converts every job, `options.jobs` at a time, and returns the totals.  A
// failed log never stops the others unless `fail_fast`; then, as after a
// stop is requested, logs not yet started are skipped and the ones in
// progress are finished (their waits on FIFOs, devices and the memory
// budget given up).
BatchTotals run_batch(std::span<const Job> jobs, const BatchOptions& options, BatchReporter& reporter,
                      const StopRequest& stop);

}  // namespace kiroku::cli
