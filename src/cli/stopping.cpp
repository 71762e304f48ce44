#include "cli/stopping.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <system_error>

#include "cli/temporary_files.h"

namespace kiroku::cli {
namespace {

// The first of these asks the run to stop once the logs in progress are done.
constexpr std::array kStopSignals = {SIGHUP, SIGINT, SIGTERM};
// These, and a second stop signal, end the process at once.  The faults
// (SIGSEGV and the like) are left alone: they belong to the thread that
// caused them and cannot be waited for.
constexpr std::array kEndSignals = {SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO, SIGPWR};

sigset_t watched_signals() noexcept {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kStopSignals) sigaddset(&set, signal);
  for (const int signal : kEndSignals) sigaddset(&set, signal);
  return set;
}

bool is_stop_signal(int signal) noexcept {
  for (const int stop : kStopSignals) {
    if (signal == stop) return true;
  }
  return false;
}

void notify(int fd) noexcept {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);  // only fails when the counter is full
}

[[noreturn]] void throw_errno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

StopRequest::StopRequest() : wake_(::eventfd(0, EFD_CLOEXEC)) {
  if (!wake_) throw_errno("eventfd");
}

void StopRequest::request(int reason) noexcept {
  int none = 0;
  reason_.compare_exchange_strong(none, reason, std::memory_order_relaxed);
  notify(wake_.get());
}

SignalWatcher::SignalWatcher(StopRequest& stop) : stop_(stop) {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  const sigset_t set = watched_signals();
  if (const int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
    throw std::system_error(error, std::generic_category(), "pthread_sigmask");
  }
  signals_ = UniqueFd(::signalfd(-1, &set, SFD_CLOEXEC));
  if (!signals_) throw_errno("signalfd");
  quit_ = UniqueFd(::eventfd(0, EFD_CLOEXEC));
  if (!quit_) throw_errno("eventfd");
  thread_ = std::thread([this] { watch(); });
}

SignalWatcher::~SignalWatcher() {
  notify(quit_.get());
  thread_.join();
}

void SignalWatcher::watch() noexcept {
  bool stopping = false;
  for (;;) {
    std::array<pollfd, 2> watched = {{{signals_.get(), POLLIN, 0}, {quit_.get(), POLLIN, 0}}};
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    signalfd_siginfo info{};
    if (::read(signals_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    const int signal = static_cast<int>(info.ssi_signo);
    if (!stopping && is_stop_signal(signal)) {
      stopping = true;
      stop_.request(signal);
      continue;
    }
    abandon_temporary_files();
    end_by_signal(signal);
  }
}

void end_by_signal(int signal) noexcept {
  std::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  std::raise(signal);
  ::_exit(128 + signal);  // not reached: every signal used here ends a process by default
}

}  // namespace kiroku::cli
