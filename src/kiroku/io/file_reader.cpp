#include "kiroku/io/file_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>  // memcpy, memset
#include <utility>

namespace kiroku {

namespace {

// Capacity for files whose size fstat does not tell (pipes, /proc files).
constexpr std::size_t kUnknownSizeCapacity = 16 * 1024;

// Room for the file as fstat reports it plus one byte, so that the read
// that meets the end of an unchanged file is the second one.
std::size_t initial_capacity(int fd) noexcept {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0) return kUnknownSizeCapacity;
  return static_cast<std::size_t>(status.st_size) + 1;
}

}  // namespace

std::expected<PaddedText, int> read_whole_file(int fd) {
  PaddedText text = PaddedText::with_size(initial_capacity(fd));
  std::size_t filled = 0;
  for (;;) {
    if (filled == text.size()) {
      // The file grew since fstat, or its size was unknown.
      PaddedText larger = PaddedText::with_size(text.size() * 2);
      std::memcpy(larger.data(), text.data(), filled);
      text = std::move(larger);
    }
    const ssize_t count = ::read(fd, text.data() + filled, text.size() - filled);
    if (count < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(errno);
    }
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  text.shrink(filled);
  // The reader scans into the slack: keep what it sees defined.
  std::memset(text.data() + filled, 0, PaddedText::kPadding);
  return text;
}

}  // namespace kiroku
