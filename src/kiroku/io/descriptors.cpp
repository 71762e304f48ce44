#include "kiroku/io/descriptors.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <string>

namespace kiroku {

namespace {

// Linux moves at most about 2 GiB per write; smaller pieces keep the count
// well inside ssize_t everywhere.
constexpr std::size_t kMaxWriteSize = std::size_t{1} << 30;

}  // namespace

std::expected<UniqueFd, int> open_file(std::string_view path, int flags, mode_t mode) {
  return open_file_at(AT_FDCWD, path, flags, mode);
}

std::expected<UniqueFd, int> open_file_at(int directory, std::string_view path, int flags, mode_t mode) {
  if (path.find('\0') != std::string_view::npos) return std::unexpected(EINVAL);
  const std::string terminated(path);
  for (;;) {
    const int fd = ::openat(directory, terminated.c_str(), flags | O_CLOEXEC, mode);
    if (fd >= 0) return UniqueFd(fd);
    if (errno != EINTR) return std::unexpected(errno);
  }
}

int wait_for_room(int fd, int cancel_fd) noexcept {
  std::array<pollfd, 2> watched = {{{fd, POLLOUT, 0}, {cancel_fd, POLLIN, 0}}};
  const nfds_t count = cancel_fd >= 0 ? 2 : 1;
  while (::poll(watched.data(), count, -1) < 0) {
    if (errno != EINTR) return errno;
  }
  return count == 2 && watched[1].revents != 0 ? ECANCELED : 0;
}

int write_all(int fd, std::string_view bytes, int cancel_fd) noexcept {
  while (!bytes.empty()) {
    if (cancel_fd >= 0) {
      if (const int error = wait_for_room(fd, cancel_fd); error != 0) return error;
    }
    const ssize_t count = ::write(fd, bytes.data(), std::min(bytes.size(), kMaxWriteSize));
    if (count < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return errno;
      if (const int error = wait_for_room(fd, cancel_fd); error != 0) return error;
      continue;
    }
    if (count == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return 0;
}

}  // namespace kiroku
