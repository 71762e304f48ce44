#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/convert_file.h"

namespace kiroku::cli {
namespace {

// Rows read ahead of each worker: enough that no worker waits on the
// database, few enough that memory stays flat.
constexpr std::size_t kRowsAheadPerWorker = 8;

// A log that exhausts memory, say, fails alone instead of ending the process.
Outcome convert_job_guarded(Job& job, const ConvertSettings& settings, MemoryBudget& budget) {
  try {
    return convert_job(job, settings, budget);
  } catch (const std::bad_alloc&) {
    return Outcome::failed("out of memory");
  } catch (const std::exception& error) {
    return Outcome::failed(std::string("internal error: ") + error.what());
  }
}

void count(BatchTotals& totals, const Outcome& outcome) {
  switch (outcome.status) {
    case Outcome::Status::Converted:
      ++totals.converted;
      totals.events += outcome.events;
      totals.input_bytes += outcome.input_bytes;
      break;
    case Outcome::Status::Skipped: ++totals.skipped[static_cast<std::size_t>(outcome.skip)]; break;
    case Outcome::Status::Failed: ++totals.failed; break;
  }
}

}  // namespace

BatchTotals run_batch(std::span<const Job> files, DatabaseReading reading, const BatchOptions& options,
                      BatchReporter& reporter, const StopRequest& stop) {
  const ConvertSettings settings{options.form, options.gzip, options.skip_existing, options.max_bytes, stop.wake_fd()};
  MemoryBudget budget(options.memory_bytes, stop.wake_fd());
  const std::size_t threads = std::max<unsigned>(options.jobs, 1);
  std::mutex mutex;  // guards totals and the reporter
  BatchTotals totals;
  totals.total = files.size();
  std::atomic<bool> failed_fast{false};

  JobFeed feed(files, std::move(reading), threads * kRowsAheadPerWorker, [&](std::uint64_t rows) {
    const std::lock_guard lock(mutex);
    totals.total += rows;
    reporter.progressed(totals);
  });

  // Workers take the next job as they finish one; logs vary in size, so
  // handing them out one by one keeps every thread busy to the end.
  const auto work = [&] {
    for (;;) {
      if (stop.requested() || failed_fast.load(std::memory_order_relaxed)) {
        feed.close();
        return;
      }
      auto next = feed.next();
      if (!next) return;
      const Outcome outcome = convert_job_guarded(next->job, settings, budget);

      const std::lock_guard lock(mutex);
      count(totals, outcome);
      if (outcome.status == Outcome::Status::Failed && options.fail_fast) {
        failed_fast.store(true, std::memory_order_relaxed);
      }
      if (outcome.standard_output_closed) {
        reporter.standard_output_closed(next->job);
      } else {
        reporter.finished(next->index, next->job, outcome);
      }
      reporter.progressed(totals);
    }
  };

  {
    std::vector<std::jthread> helpers;
    helpers.reserve(threads - 1);
    for (std::size_t i = 1; i < threads; ++i) helpers.emplace_back(work);
    work();  // this thread is the first worker
  }  // joins the helpers
  feed.close();

  const Outcome not_started = Outcome::skipped(Skip::NotStarted);
  for (std::size_t index = feed.files_taken(); index < files.size(); ++index) {
    count(totals, not_started);
    reporter.finished(index, files[index], not_started);
  }
  if (stop.requested() || failed_fast.load(std::memory_order_relaxed)) {
    // The rows counted but never taken were not started either.
    totals.skipped[static_cast<std::size_t>(Skip::NotStarted)] += totals.total - std::min(totals.total, totals.done());
  }
  // A database's count is what it had when it was opened: a writer may have
  // added rows since, and rows without an id are left out.
  totals.total = totals.done();
  return totals;
}

}  // namespace kiroku::cli
