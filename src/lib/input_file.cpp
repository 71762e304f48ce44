#include "lib/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>  // memcpy, memset
#include <utility>

#include "kiroku/utf8.h"
#include "lib/exceptions.h"
#include "lib/path_text.h"
#include "lib/unique_fd.h"

namespace kiroku {

namespace {

// Capacity for files whose size fstat does not tell (pipes, /proc files).
constexpr std::size_t kUnknownSizeCapacity = 16 * 1024;

UniqueFd open_for_reading(const std::string& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return UniqueFd(fd);
}

// Room for the file as fstat reports it plus one byte, so that the read
// that meets the end of an unchanged file is the second one.
std::size_t initial_capacity(int fd) noexcept {
  struct stat status{};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0) return kUnknownSizeCapacity;
  return static_cast<std::size_t>(status.st_size) + 1;
}

}  // namespace

std::expected<PaddedText, InputError> read_log_file(const std::string& path) {
  // A path with a NUL byte names no file the system could open.
  if (path.find('\0') != std::string::npos) return std::unexpected(InputError{InputError::Kind::Open, EINVAL});
  UniqueFd fd = open_for_reading(path);
  if (!fd) return std::unexpected(InputError{InputError::Kind::Open, errno});

  PaddedText text = PaddedText::with_size(initial_capacity(fd.get()));
  std::size_t filled = 0;
  for (;;) {
    if (filled == text.size()) {
      // The file grew since fstat, or its size was unknown.
      PaddedText larger = PaddedText::with_size(text.size() * 2);
      std::memcpy(larger.data(), text.data(), filled);
      text = std::move(larger);
    }
    const ssize_t count = ::read(fd.get(), text.data() + filled, text.size() - filled);
    if (count < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(InputError{InputError::Kind::Read, errno});
    }
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  text.shrink(filled);
  // The slack after the text is again defined bytes, as with_size leaves it.
  std::memset(text.data() + filled, 0, PaddedText::kPadding);

  if (!is_valid_utf8(text.view())) return std::unexpected(InputError{InputError::Kind::InvalidUtf8, 0});
  return text;
}

std::nullptr_t raise_input_error(const InputError& error, std::string_view path) {
  switch (error.kind) {
    case InputError::Kind::Open: {
      std::string message = "failed to open ";
      message += kSourceFormatLabel;
      message += " log file ";
      message += quoted_path(path);
      return raise_with_message(PyExc_FileNotFoundError, message);
    }
    case InputError::Kind::InvalidUtf8:
      return raise_with_message(PyExc_OSError, "stream did not contain valid UTF-8");
    case InputError::Kind::Read:
      return raise_os_error(error.error_number);
  }
  return raise_internal_failure(nullptr, "unknown input error");
}

}  // namespace kiroku
