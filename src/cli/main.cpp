// The kiroku command: the only place that prints or picks the exit status.
#include <unistd.h>  // isatty

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "cli/batch.h"
#include "cli/options.h"
#include "cli/plan.h"
#include "cli/progress.h"

namespace {

using namespace kiroku::cli;

constexpr int kExitConverted = 0;  // every log converted
constexpr int kExitFailed = 1;     // at least one log failed
constexpr int kExitUsage = 2;      // the command line was wrong

// Set by the signal handler; workers stop taking new logs, so that no
// temporary file is abandoned halfway.
std::atomic<bool> stop_requested{false};
volatile std::sig_atomic_t stop_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "used from a signal handler");

extern "C" void on_stop_signal(int signal) {
  stop_signal = signal;
  stop_requested.store(true);
}

// A second signal of the same kind ends the process at once (SA_RESETHAND).
void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void print_error(std::string_view text) {
  std::string line(text);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

class StderrReporter final : public BatchReporter {
 public:
  StderrReporter(bool notes, bool progress_bar, std::size_t earlier_failures, Clock::time_point start)
      : notes_(notes), earlier_failures_(earlier_failures) {
    if (progress_bar) bar_.emplace(start);
  }

  void failed(const Job& job, std::string_view diagnostic) override {
    erase_bar();
    print_error(job.source.native() + ": " + std::string(diagnostic));
  }

  void searched(const Job& job, std::size_t hands) override {
    if (!notes_) return;
    erase_bar();
    print_error(job.source.native() + ": note: converted; " + std::to_string(hands) +
                (hands == 1 ? " hand needed" : " hands needed") + " a search of the call orders");
  }

  void progressed(const BatchTotals& totals) override {
    if (!bar_) return;
    BatchTotals shown = totals;
    shown.total += earlier_failures_;
    shown.failed += earlier_failures_;
    if (auto line = bar_->update(shown, Clock::now(), !bar_drawn_)) {
      std::fwrite(line->data(), 1, line->size(), stderr);
      bar_drawn_ = true;
    }
  }

  void finish() { erase_bar(); }

 private:
  void erase_bar() {
    if (!bar_drawn_) return;
    const std::string_view erase = ProgressBar::erase();
    std::fwrite(erase.data(), 1, erase.size(), stderr);
    bar_drawn_ = false;
  }

  bool notes_;
  std::size_t earlier_failures_;
  std::optional<ProgressBar> bar_;
  bool bar_drawn_ = false;
};

int usage_error(const UsageError& error) {
  print_error("kiroku: " + error.message + "\nTry 'kiroku --help' for more information.");
  return kExitUsage;
}

unsigned default_jobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
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

  install_stop_handlers();
  for (const Failure& failure : plan->failures) print_error(failure.file + ": " + failure.diagnostic);
  if (plan->jobs.empty() && plan->failures.empty() && !options->quiet) {
    print_error("kiroku: note: no *.json or *.json.gz files found");
  }

  const bool progress_bar = plan->batch && !options->quiet && ::isatty(STDERR_FILENO) == 1;
  StderrReporter reporter(!options->quiet, progress_bar, plan->failures.size(), start);
  BatchTotals totals;
  if (options->fail_fast && !plan->failures.empty()) {
    totals.total = totals.skipped = plan->jobs.size();
  } else {
    const BatchOptions batch{options->jobs != 0 ? options->jobs : default_jobs(), options->gzip, options->fail_fast};
    totals = run_batch(plan->jobs, batch, reporter, stop_requested);
  }
  reporter.finish();
  totals.total += plan->failures.size();
  totals.failed += plan->failures.size();

  if (options->summary) {
    print_error(summary_line(totals, std::chrono::duration<double>(Clock::now() - start).count()));
  }
  if (stop_signal != 0) {
    // Die of the signal, as the shell expects of an interrupted command.
    std::signal(stop_signal, SIG_DFL);
    std::raise(stop_signal);
  }
  return totals.failed == 0 && totals.skipped == 0 ? kExitConverted : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::span<const char* const>(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)));
  } catch (const std::exception& error) {
    print_error(std::string("kiroku: internal error: ") + error.what());
    return kExitFailed;
  }
}
