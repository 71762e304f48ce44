// A move-only owner of one POSIX file descriptor; -1 means none.
#pragma once

#include <unistd.h>

#include <cerrno>

#include <utility>

namespace kiroku {

class UniqueFd {
 public:
  UniqueFd() noexcept = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(std::exchange(other.fd_, -1));
    return *this;
  }
  // Errors are ignored here: a caller that must know whether buffered data
  // reached the file calls close() itself.  No retry on EINTR: Linux has
  // released the descriptor by then, and a retry could close a descriptor
  // another thread has just been given.
  ~UniqueFd() { reset(); }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }

  // Closes the descriptor now and reports the result, which for a written
  // file can carry a late write error: 0, or the errno value.  The owner is
  // empty afterwards whatever the outcome.
  int close() noexcept {
    const int fd = std::exchange(fd_, -1);
    if (fd < 0 || ::close(fd) == 0) return 0;
    return errno;
  }

 private:
  void reset(int fd = -1) noexcept {
    const int old = std::exchange(fd_, fd);
    if (old >= 0) ::close(old);
  }

  int fd_ = -1;
};

}  // namespace kiroku
