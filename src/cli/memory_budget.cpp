#include "cli/memory_budget.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace kiroku::cli {
namespace {

// How often a wait looks at the cancel descriptor, which a condition
// variable cannot watch.
constexpr auto kStopCheckInterval = std::chrono::milliseconds(50);

}  // namespace

MemoryBudget::MemoryBudget(std::size_t bytes, int cancel_fd) noexcept
    : bytes_(bytes), base_(std::min(bytes, kBaseBytes)), cancel_fd_(cancel_fd) {}

template <class Ready>
bool MemoryBudget::wait(std::unique_lock<std::mutex>& lock, Ready ready) {
  for (;;) {
    if (ready()) return true;
    pollfd stop{cancel_fd_, POLLIN, 0};
    if (cancel_fd_ >= 0 && ::poll(&stop, 1, 0) > 0) return false;
    changed_.wait_for(lock, kStopCheckInterval);
  }
}

Reservation::Reservation(MemoryBudget& budget, bool stream) noexcept
    : budget_(&budget), held_(budget.base_), stream_(stream) {}

Reservation::Reservation(Reservation&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)),
      held_(other.held_),
      growing_(other.growing_),
      stream_(other.stream_),
      refusal_(other.refusal_) {}

Reservation::~Reservation() {
  if (budget_ == nullptr) return;
  MemoryBudget& b = *budget_;
  const std::lock_guard lock(b.mutex_);
  b.held_ -= held_;
  if (growing_) b.growing_ = false;
  if (stream_) b.stream_reads_ = false;
  b.changed_.notify_all();
}

std::expected<Reservation, int> Reservation::take(MemoryBudget& budget, bool stream) {
  MemoryBudget& b = budget;
  std::unique_lock lock(b.mutex_);
  if (stream) {
    if (!b.wait(lock, [&] { return !b.stream_reads_; })) return std::unexpected(ECANCELED);
    b.stream_reads_ = true;
  }
  if (!b.wait(lock, [&] { return !b.grower_waits_ && b.held_ + b.base_ <= b.bytes_; })) {
    if (stream) b.stream_reads_ = false;
    b.changed_.notify_all();
    return std::unexpected(ECANCELED);
  }
  b.held_ += b.base_;
  return Reservation(b, stream);
}

std::size_t Reservation::grow(std::size_t needed, std::size_t wanted) {
  MemoryBudget& b = *budget_;
  std::unique_lock lock(b.mutex_);
  const auto refuse = [&](Refusal why) {
    refusal_ = why;
    return std::size_t{0};
  };
  if (needed > b.bytes_) return refuse(Refusal::OverBudget);
  if (needed <= held_) return std::min(wanted, held_);
  if (!growing_) {
    if (b.growing_ || b.stream_waits_) {
      // A waiting stream goes first: it cannot step aside.
      if (!stream_) return refuse(Refusal::Restart);
      b.stream_waits_ = true;
      const bool turn = b.wait(lock, [&] { return !b.growing_; });
      b.stream_waits_ = false;
      if (!turn) return refuse(Refusal::Stopped);
    }
    b.growing_ = growing_ = true;
  }
  // What this job may hold beside the others.
  const auto room = [&] { return b.bytes_ - (b.held_ - held_); };
  b.grower_waits_ = true;
  const bool woken = b.wait(lock, [&] { return room() >= needed || (!stream_ && b.stream_waits_); });
  b.grower_waits_ = false;
  b.changed_.notify_all();
  if (!woken) return refuse(Refusal::Stopped);
  if (room() < needed) {  // a stream waits to grow: step aside for it
    b.growing_ = growing_ = false;
    return refuse(Refusal::Restart);
  }
  const std::size_t granted = std::min(wanted, room());
  b.held_ += granted - held_;
  held_ = granted;
  return granted;
}

bool Reservation::restart() {
  MemoryBudget& b = *budget_;
  std::unique_lock lock(b.mutex_);
  b.held_ -= held_;
  held_ = 0;
  if (growing_) b.growing_ = growing_ = false;
  refusal_ = Refusal::None;
  b.changed_.notify_all();
  // A waiting stream goes first: it cannot step aside.
  if (!b.wait(lock, [&] { return !b.growing_ && !b.stream_waits_; })) return false;
  b.growing_ = growing_ = true;
  return true;
}

void Reservation::keep(std::size_t bytes) {
  MemoryBudget& b = *budget_;
  const std::lock_guard lock(b.mutex_);
  const std::size_t kept = std::min(held_, std::max(bytes, b.base_));
  b.held_ -= held_ - kept;
  held_ = kept;
  if (growing_) b.growing_ = growing_ = false;
  if (stream_) b.stream_reads_ = stream_ = false;
  b.changed_.notify_all();
}

}  // namespace kiroku::cli
