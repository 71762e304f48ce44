// The kiroku command: the only place that prints or picks the exit status.
#include <malloc.h>  // mallopt
#include <unistd.h>  // isatty

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "cli/batch.h"
#include "cli/display.h"
#include "cli/machine_memory.h"
#include "cli/manifest.h"
#include "cli/options.h"
#include "cli/plan.h"
#include "cli/progress.h"
#include "cli/stopping.h"

namespace {

using namespace kiroku::cli;

constexpr int kExitConverted = 0;  // every log converted
constexpr int kExitFailed = 1;     // at least one log failed
constexpr int kExitUsage = 2;      // the command line was wrong, or an output is an input

// Writes one line to standard error; false, with errno set, when it could
// not be written whole.  Standard error is unbuffered, so a failure shows
// here and not at exit.
bool print_error(std::string_view text) {
  std::string line(text);
  line += '\n';
  errno = 0;
  return std::fwrite(line.data(), 1, line.size(), stderr) == line.size();
}

// Every line the run writes to standard error.  A line that cannot be
// written (nobody reads standard error any more) stops the run as a signal
// would: SIGPIPE for a closed pipe, a failed status otherwise.
class Diagnostics {
 public:
  explicit Diagnostics(StopRequest& stop) noexcept : stop_(stop) {}

  void line(std::string_view text) {
    if (failed_) return;
    if (print_error(text)) return;
    failed_ = true;
    stop_.request(errno == EPIPE ? SIGPIPE : StopRequest::kNoSignal);
  }

  // Raw text, such as the progress bar; the same on failure.
  void raw(std::string_view text) {
    if (failed_ || std::fwrite(text.data(), 1, text.size(), stderr) == text.size()) return;
    failed_ = true;
    stop_.request(errno == EPIPE ? SIGPIPE : StopRequest::kNoSignal);
  }

 private:
  StopRequest& stop_;
  bool failed_ = false;
};

class StderrReporter final : public BatchReporter {
 public:
  StderrReporter(Diagnostics& diagnostics, StopRequest& stop, bool notes, bool progress_bar,
                 std::size_t earlier_failures, Clock::time_point start, Manifest* manifest)
      : diagnostics_(diagnostics),
        stop_(stop),
        notes_(notes),
        earlier_failures_(earlier_failures),
        manifest_(manifest) {
    if (progress_bar) bar_.emplace(start);
  }

  void finished(std::size_t index, const Job& job, const Outcome& outcome) override {
    if (manifest_ != nullptr) manifest_->add(index, job, outcome);
    if (outcome.status == Outcome::Status::Failed) {
      erase_bar();
      diagnostics_.line(shown(job_name(job)) + ": " + outcome.diagnostic);
    } else if (outcome.status == Outcome::Status::Converted && outcome.hands_searched > 0 && notes_) {
      const std::size_t hands = outcome.hands_searched;
      erase_bar();
      diagnostics_.line(shown(job_name(job)) + ": note: converted; " + std::to_string(hands) +
                        (hands == 1 ? " hand needed" : " hands needed") + " a search of the call orders");
    }
  }

  void progressed(const BatchTotals& totals) override {
    if (!bar_) return;
    BatchTotals shown_totals = totals;
    shown_totals.total += earlier_failures_;
    shown_totals.failed += earlier_failures_;
    if (auto line = bar_->update(shown_totals, Clock::now(), !bar_drawn_)) {
      diagnostics_.raw(*line);
      bar_drawn_ = true;
    }
  }

  // As a shell pipeline expects when its reader stops early: no
  // diagnostic, and the end by SIGPIPE once the run has stopped.
  void standard_output_closed(const Job&) override { stop_.request(SIGPIPE); }

  void finish() { erase_bar(); }

 private:
  void erase_bar() {
    if (!bar_drawn_) return;
    diagnostics_.raw(ProgressBar::erase());
    bar_drawn_ = false;
  }

  Diagnostics& diagnostics_;
  StopRequest& stop_;
  bool notes_;
  std::size_t earlier_failures_;
  Manifest* manifest_;  // none without --manifest
  std::optional<ProgressBar> bar_;
  bool bar_drawn_ = false;
};

int usage_error(const UsageError& error) {
  std::string text = "kiroku: " + error.message;
  if (error.suggest_help) text += "\nTry 'kiroku --help' for more information.";
  print_error(text);
  return kExitUsage;
}

unsigned default_jobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

// The run once the plan stands.  The stop reason is left in `stop`.
int convert(const Options& options, const Plan& plan, StopRequest& stop, Clock::time_point start) {
  Diagnostics diagnostics(stop);
  for (const Failure& failure : plan.failures) diagnostics.line(shown(failure.file) + ": " + failure.diagnostic);
  if (!options.quiet) {
    for (const Failure& note : plan.passed_over) diagnostics.line(shown(note.file) + ": " + note.diagnostic);
    if (plan.jobs.empty() && plan.databases.empty() && plan.failures.empty()) {
      diagnostics.line(
          "kiroku: note: no log files found (*.json, *.mjlog, *.xml, their compressed forms, or log databases)");
    }
  }

  std::optional<Manifest> manifest;
  if (options.manifest) {
    auto opened = Manifest::open(
        *options.manifest == "-" ? std::nullopt : std::optional<std::filesystem::path>(*options.manifest),
        stop.wake_fd());
    if (!opened) {
      diagnostics.line("kiroku: manifest: " + opened.error().diagnostic);
      return kExitFailed;
    }
    manifest.emplace(std::move(*opened));
  }

  const bool progress_bar = plan.batch && !options.quiet && ::isatty(STDERR_FILENO) == 1;
  StderrReporter reporter(diagnostics, stop, !options.quiet, progress_bar, plan.failures.size(), start,
                          manifest ? &*manifest : nullptr);
  BatchTotals totals;
  if ((options.fail_fast && !plan.failures.empty()) || stop.requested()) {
    totals.total = plan.jobs.size();
    totals.skipped[static_cast<std::size_t>(Skip::NotStarted)] = plan.jobs.size();
  } else {
    const BatchOptions batch{.jobs = options.jobs != 0 ? options.jobs : default_jobs(),
                             .form = options.form,
                             .gzip = options.gzip,
                             .fail_fast = options.fail_fast,
                             .skip_existing = options.skip_existing,
                             .max_bytes = options.max_size,
                             .memory_bytes = options.memory != 0 ? options.memory : default_memory_budget()};
    DatabaseReading reading{.databases = plan.databases,
                            .sql = options.sql,
                            .output_directory = plan.output_directory,
                            .suffix = plan.suffix,
                            .by_month = options.by_month};
    totals = run_batch(plan.jobs, std::move(reading), batch, reporter, stop);
  }
  reporter.finish();
  totals.total += plan.failures.size();
  totals.failed += plan.failures.size();

  if (!options.quiet && totals.skipped_in_all() > totals.not_started()) {
    diagnostics.line("kiroku: note: " + passed_over_text(totals));
  }
  if (options.summary) {
    diagnostics.line(summary_line(totals, std::chrono::duration<double>(Clock::now() - start).count()));
  }
  // Whole or not at all: a run that stops early leaves none.
  if (manifest && !stop.requested()) {
    if (auto committed = manifest->commit(); !committed) {
      diagnostics.line("kiroku: manifest: " + committed.error().diagnostic);
      return kExitFailed;
    }
  }
  return totals.failed == 0 && totals.not_started() == 0 ? kExitConverted : kExitFailed;
}

int run(std::span<const char* const> arguments) {
  const Clock::time_point start = Clock::now();
  const auto options = parse_options(arguments);
  if (!options) return usage_error(options.error());
  if (options->help) {
    std::fwrite(usage_text().data(), 1, usage_text().size(), stdout);
    return std::fflush(stdout) == 0 ? kExitConverted : kExitFailed;
  }
  if (options->version) {
    std::fputs("kiroku " KIROKU_VERSION "\n", stdout);
    return std::fflush(stdout) == 0 ? kExitConverted : kExitFailed;
  }
  const auto plan = make_plan(*options);
  if (!plan) return usage_error(plan.error());

  StopRequest stop;
  int status = kExitFailed;
  {
    const SignalWatcher watcher(stop);  // before any other thread
    status = convert(*options, *plan, stop, start);
  }
  if (stop.reason() > 0) end_by_signal(stop.reason());
  return stop.reason() == StopRequest::kNoSignal ? kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
  // A batch allocates and frees a text of some hundred kilobytes per log,
  // which glibc would by default hand back to the kernel and fault in again
  // each time (a tenth of a run over a database).  Texts up to 4 MiB are
  // kept for reuse instead, and at most 16 MiB of free heap per arena.
  ::mallopt(M_MMAP_THRESHOLD, 4 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 16 << 20);
  try {
    return run(std::span<const char* const>(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)));
  } catch (const std::exception& error) {
    print_error(std::string("kiroku: internal error: ") + error.what());
    return kExitFailed;
  }
}
