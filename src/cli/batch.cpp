#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <expected>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "cli/convert_file.h"

namespace kiroku::cli {
namespace {

// A log that exhausts memory, say, fails alone instead of ending the process.
std::expected<Converted, ConvertFailure> convert_file_guarded(const Job& job, const ConvertSettings& settings,
                                                              MemoryBudget& budget) {
  try {
    return convert_file(job, settings, budget);
  } catch (const std::bad_alloc&) {
    return std::unexpected(ConvertFailure{"out of memory"});
  } catch (const std::exception& error) {
    return std::unexpected(ConvertFailure{std::string("internal error: ") + error.what()});
  }
}

}  // namespace

BatchTotals run_batch(std::span<const Job> jobs, const BatchOptions& options, BatchReporter& reporter,
                      const StopRequest& stop) {
  const ConvertSettings settings{options.gzip, options.max_bytes, stop.wake_fd()};
  MemoryBudget budget(options.memory_bytes, stop.wake_fd());
  // Workers take the next job by index; logs vary in size, so handing them
  // out one by one keeps every thread busy to the end.
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed_fast{false};
  std::mutex mutex;  // guards totals and the reporter
  BatchTotals totals;
  totals.total = jobs.size();

  const auto work = [&] {
    for (;;) {
      if (stop.requested() || failed_fast.load(std::memory_order_relaxed)) return;
      const std::size_t index = next.fetch_add(1, std::memory_order_relaxed);
      if (index >= jobs.size()) return;
      const Job& job = jobs[index];
      auto result = convert_file_guarded(job, settings, budget);

      const std::lock_guard lock(mutex);
      if (result) {
        ++totals.converted;
        totals.events += result->events;
        totals.input_bytes += result->input_bytes;
        if (result->hands_searched > 0) reporter.searched(job, result->hands_searched);
      } else {
        ++totals.failed;
        if (options.fail_fast) failed_fast.store(true, std::memory_order_relaxed);
        if (result.error().standard_output_closed) {
          reporter.standard_output_closed(job);
        } else {
          reporter.failed(job, result.error().diagnostic);
        }
      }
      reporter.progressed(totals);
    }
  };

  {
    const std::size_t threads = std::clamp<std::size_t>(options.jobs, 1, std::max<std::size_t>(jobs.size(), 1));
    std::vector<std::jthread> helpers;
    helpers.reserve(threads - 1);
    for (std::size_t i = 1; i < threads; ++i) helpers.emplace_back(work);
    work();  // this thread is the first worker
  }  // joins the helpers
  totals.skipped = totals.total - totals.done();
  return totals;
}

}  // namespace kiroku::cli
