// An output that is a stream (standard output, a FIFO, a device), written
// only once the log has converted, from a spool, so that a log that fails
// writes nothing to it.
#pragma once

#include <optional>
#include <string_view>

#include "cli/directory_path.h"
#include "cli/spool.h"

namespace kiroku::cli {

class StreamOutput {
 public:
  // Standard output.
  StreamOutput() = default;
  // The FIFO or device `place` leads to; it is opened only by commit().
  explicit StreamOutput(PathPlace place) noexcept : place_(std::move(place)) {}

  // Keeps the bytes: 0, or the errno value of the spool.
  [[nodiscard]] int write(std::string_view bytes) { return spool_.write(bytes); }

  // Opens the stream and writes everything kept to it: 0, or the errno
  // value.  A FIFO without a reader is waited for; that wait, and waits for
  // room, end when `cancel_fd` becomes readable (ECANCELED).
  [[nodiscard]] int commit(int cancel_fd);

 private:
  std::optional<PathPlace> place_;  // none: standard output
  Spool spool_;
};

}  // namespace kiroku::cli
