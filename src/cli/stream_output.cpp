#include "cli/stream_output.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>  // STDOUT_FILENO

#include <cerrno>
#include <utility>

#include "kiroku/io/descriptors.h"

namespace kiroku::cli {
namespace {

// How often an output FIFO without a reader is tried again: a reader's
// arrival cannot be waited for in poll.
constexpr int kReaderRetryMilliseconds = 50;

}  // namespace

int StreamOutput::commit(int cancel_fd) {
  if (!place_) return spool_.copy_to(STDOUT_FILENO, cancel_fd);
  // Never blocking in open: a FIFO without a reader is waited for here,
  // where the run's stop can end the wait.
  const int directory = place_->directory.get();
  const char* name = place_->name.c_str();
  const bool fifo = S_ISFIFO(place_->status->st_mode);
  auto opened = open_file_at(directory, name, O_WRONLY | O_NOCTTY | O_NONBLOCK);
  while (!opened) {
    if (opened.error() != ENXIO || !fifo) return opened.error();  // ENXIO of a socket: nothing to wait for
    pollfd stop{cancel_fd, POLLIN, 0};
    if (::poll(&stop, cancel_fd >= 0 ? 1 : 0, kReaderRetryMilliseconds) > 0) return ECANCELED;
    opened = open_file_at(directory, name, O_WRONLY | O_NOCTTY | O_NONBLOCK);
  }
  UniqueFd stream = std::move(*opened);
  const int fd = stream.get();
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
  if (const int error = spool_.copy_to(fd, cancel_fd); error != 0) return error;
  return stream.close();
}

}  // namespace kiroku::cli
