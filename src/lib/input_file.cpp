#include "lib/input_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "kiroku/io/file_reader.h"
#include "kiroku/io/unique_fd.h"
#include "kiroku/io/utf8.h"
#include "lib/exceptions.h"
#include "lib/path_text.h"

namespace kiroku {

namespace {

UniqueFd open_for_reading(const std::string& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return UniqueFd(fd);
}

}  // namespace

std::expected<PaddedText, InputError> read_log_file(const std::string& path) {
  // A path with a NUL byte names no file the system could open.
  if (path.find('\0') != std::string::npos) return std::unexpected(InputError{InputError::Kind::Open, EINVAL});
  UniqueFd fd = open_for_reading(path);
  if (!fd) return std::unexpected(InputError{InputError::Kind::Open, errno});

  auto text = read_whole_file(fd.get());
  if (!text) return std::unexpected(InputError{InputError::Kind::Read, text.error()});
  if (!is_valid_utf8(text->view())) return std::unexpected(InputError{InputError::Kind::InvalidUtf8, 0});
  return std::move(*text);
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
    case InputError::Kind::InvalidUtf8: return raise_with_message(PyExc_OSError, "stream did not contain valid UTF-8");
    case InputError::Kind::Read: return raise_os_error(error.error_number);
  }
  return raise_internal_failure(nullptr, "unknown input error");
}

}  // namespace kiroku
