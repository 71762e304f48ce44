// Stopping a run early: on a signal, or when standard error or standard
// output goes away.  Workers see the request between logs (a flag) and in
// their waits on FIFOs and devices (a descriptor that becomes readable).
#pragma once

#include <atomic>
#include <thread>

#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {

class StopRequest {
 public:
  // A reason that ends the run with a failed status rather than by a signal.
  static constexpr int kNoSignal = -1;

  // Throws std::system_error when the descriptor cannot be made.
  StopRequest();

  // The first reason wins: the signal the process ends by once the logs in
  // progress are done, or kNoSignal.  Safe from any thread.
  void request(int reason) noexcept;
  bool requested() const noexcept { return reason_.load(std::memory_order_relaxed) != 0; }
  int reason() const noexcept { return reason_.load(std::memory_order_relaxed); }
  // Readable from the first request on.
  int wake_fd() const noexcept { return wake_.get(); }

 private:
  std::atomic<int> reason_{0};
  UniqueFd wake_;
};

// Takes the terminating signals a process can catch, for the whole process,
// on a thread of its own; construct it before any other thread starts, so
// that every thread inherits the blocked signals and none is ever
// interrupted by one.  The first SIGINT, SIGTERM or SIGHUP requests a stop
// for that signal.  A second one, or any other terminating signal (SIGQUIT,
// SIGALRM, SIGUSR1, ...), removes the temporary files and ends the process
// by that signal at once.  SIGPIPE and SIGXFSZ are ignored from then on: a
// closed pipe or a file-size limit is a failed write, seen where it happens.
class SignalWatcher {
 public:
  // Throws std::system_error when its descriptors or thread cannot be made.
  explicit SignalWatcher(StopRequest& stop);
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;
  // The signals stay blocked: one that comes later stays pending, unseen.
  ~SignalWatcher();

 private:
  void watch() noexcept;

  StopRequest& stop_;
  UniqueFd signals_;
  UniqueFd quit_;
  std::thread thread_;
};

// Ends the process by `signal` with its default action, as a shell expects of
// a command that was interrupted.
[[noreturn]] void end_by_signal(int signal) noexcept;

}  // namespace kiroku::cli
