// Owner of one POSIX file descriptor.
#pragma once

#include <unistd.h>  // close

#include <cerrno>

#include <utility>

namespace kiroku::cli {

// Move-only; -1 means "owns nothing".  The destructor closes once and does not
// retry on EINTR: on Linux the descriptor is released even then, and a retry
// could close one that another thread has just been given.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    UniqueFd old(std::exchange(fd_, std::exchange(other.fd_, -1)));
    return *this;
  }
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }

  // Closes now and reports the result, which for a written file can carry a
  // late write error.  Returns 0 or an errno value.
  int close() noexcept {
    if (fd_ < 0) return 0;
    return ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
  }

 private:
  int fd_ = -1;
};

}  // namespace kiroku::cli
