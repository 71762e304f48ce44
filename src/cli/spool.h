// Bytes kept until they may be written: in memory up to a modest size,
// beyond it in a file nothing names in the temporary directory, which the
// system removes however the process ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {

class Spool {
 public:
  // Enough for the output of every real game, so that a file is only ever
  // made for an abnormal log.
  static constexpr std::size_t kMemoryBytes = std::size_t{16} << 20;

  explicit Spool(std::size_t memory_bytes = kMemoryBytes) noexcept : memory_bytes_(memory_bytes) {}

  // 0, or the errno value of making or writing the file.
  [[nodiscard]] int write(std::string_view bytes);

  // Writes all the bytes kept to `fd`; waits for room end when `cancel_fd`
  // (when not -1) is readable.  0, or the errno value (EIO for a spool file
  // that cannot be read back).
  [[nodiscard]] int copy_to(int fd, int cancel_fd) const;

  // Where the file goes: $TMPDIR, or /tmp when it is unset or empty.
  static std::string directory();

 private:
  std::size_t memory_bytes_;
  std::string memory_;
  UniqueFd file_;  // once the bytes outgrew memory_bytes_; then memory_ is empty
  std::size_t file_size_ = 0;
};

}  // namespace kiroku::cli
