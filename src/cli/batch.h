// Converting many logs on several threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <span>

#include "cli/job.h"
#include "cli/job_feed.h"
#include "cli/options.h"
#include "cli/stopping.h"
#include "kiroku/io/file_reader.h"

namespace kiroku::cli {

struct BatchTotals {
  std::size_t total = 0;      // logs in the batch: files, database rows, databases that failed whole
  std::size_t converted = 0;  // logs written
  std::size_t failed = 0;
  std::array<std::size_t, kSkipKinds> skipped{};  // by Skip
  std::uint64_t events = 0;
  std::uint64_t input_bytes = 0;  // text of the converted logs

  std::size_t skipped_in_all() const noexcept { return std::reduce(skipped.begin(), skipped.end(), std::size_t{0}); }
  std::size_t done() const noexcept { return converted + failed + skipped_in_all(); }
  std::size_t not_started() const noexcept { return skipped[static_cast<std::size_t>(Skip::NotStarted)]; }
};

// What the batch tells its caller while it runs.  Calls come from the worker
// threads, one at a time.
class BatchReporter {
 public:
  virtual ~BatchReporter() = default;
  // Every job as it ends, with its place in the run's order (jobs end out
  // of order); at the end, each log file never started, as NotStarted.
  virtual void finished(std::size_t index, const Job& job, const Outcome& outcome) = 0;
  // After every finished log, and as the databases are counted.
  virtual void progressed(const BatchTotals& totals) = 0;
  // Writing the log `job` to standard output found nobody reading it; the
  // log counts as failed.
  virtual void standard_output_closed(const Job& job) = 0;
};

struct BatchOptions {
  unsigned jobs = 1;  // threads, at least 1
  OutputForm form = OutputForm::Mjai;
  bool gzip = false;
  bool fail_fast = false;
  bool skip_existing = false;
  std::size_t max_bytes = kDefaultMaxLogBytes;  // the longest log text taken
  std::size_t memory_bytes = 0;                 // what the running jobs hold together (memory_budget.h)
};

// Converts every log file of `files`, then every row of the databases of
// `reading`, `options.jobs` at a time, and returns the totals.  A failed log
// never stops the others unless `fail_fast`; then, as after a stop is
// requested, logs not yet started are passed over (counted as not started;
// database rows not yet read are not counted) and the ones in progress are
// finished (their waits on FIFOs, devices and the memory budget given up).
BatchTotals run_batch(std::span<const Job> files, DatabaseReading reading, const BatchOptions& options,
                      BatchReporter& reporter, const StopRequest& stop);

}  // namespace kiroku::cli
