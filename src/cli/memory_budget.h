// A cap on the memory the running jobs hold together (--memory).  A job's
// memory is about its log's text plus a constant: the conversion is done a
// hand at a time, and the output is written as it comes.
//
// Every running job holds a base reservation, enough for any real game.  A
// text grows past it only in the one job that is growing at a time, which
// waits until the others' reservations leave room.  That wait always ends:
// the others read within their base, or have read their text and go on to
// finish and give their memory back, or give it back at once, as a job must
// that needs to grow while another grows (it reads its regular file again
// from the start once it may grow itself).  Only a stream (a FIFO, a device,
// a pipe on standard input), which cannot be read twice, keeps its base while
// it waits to grow, and a growing job that would have to wait for it steps
// aside for it; streams are read one at a time, so that two never wait for
// each other.  A text longer than the whole budget fails alone.  Every wait
// ends once the run's cancel descriptor becomes readable.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <expected>
#include <mutex>

#include "kiroku/io/file_reader.h"

namespace kiroku::cli {

class MemoryBudget {
 public:
  // What a running job holds at least: a real game's log is well under a
  // megabyte, and the work beside it (a stream output's spool of up to 16
  // MiB, a hand's events) is small.
  static constexpr std::size_t kBaseBytes = std::size_t{64} << 20;

  MemoryBudget(std::size_t bytes, int cancel_fd) noexcept;
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  std::size_t bytes() const noexcept { return bytes_; }

 private:
  friend class Reservation;

  // Waits until `ready()` holds, false when the run stops first.
  template <class Ready>
  bool wait(std::unique_lock<std::mutex>& lock, Ready ready);

  const std::size_t bytes_;
  const std::size_t base_;  // kBaseBytes, or the whole budget when that is less
  const int cancel_fd_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t held_ = 0;       // by every reservation together
  bool growing_ = false;       // some job may grow
  bool grower_waits_ = false;  // for room: no job takes a new base meanwhile, so that the wait ends
  bool stream_waits_ = false;  // a stream waits to grow
  bool stream_reads_ = false;  // a stream is being read
};

// One job's share of the budget, from its start to its end.  Its reader
// asks it for room as the text grows (TextRoom).
class Reservation final : public TextRoom {
 public:
  enum class Refusal {
    None,
    OverBudget,  // the text needs more than the whole budget
    Restart,     // another job grows: give everything back with restart(), then read again
    Stopped,     // the run stops
  };

  // Waits for the base (and, for a `stream`, for the streams read before
  // it); ECANCELED when the run stops first.
  [[nodiscard]] static std::expected<Reservation, int> take(MemoryBudget& budget, bool stream);

  Reservation(Reservation&& other) noexcept;
  Reservation& operator=(Reservation&&) = delete;
  ~Reservation();  // gives everything back

  std::size_t grow(std::size_t needed, std::size_t wanted) override;

  // Why the last grow() refused.
  Refusal refusal() const noexcept { return refusal_; }

  // After a Restart refusal: gives everything back and waits, holding
  // nothing, until this job may grow.  False when the run stops first.
  [[nodiscard]] bool restart();

  // The text is read, `bytes` long with its slack: the job stops growing and
  // keeps what the text takes, or its base if more.
  void keep(std::size_t bytes);

 private:
  Reservation(MemoryBudget& budget, bool stream) noexcept;

  MemoryBudget* budget_;  // none once moved from
  std::size_t held_;
  bool growing_ = false;
  bool stream_;  // reads a stream, until keep()
  Refusal refusal_ = Refusal::None;
};

}  // namespace kiroku::cli
