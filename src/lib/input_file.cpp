#include "lib/input_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "kiroku/io/descriptors.h"
#include "lib/exceptions.h"
#include "lib/path_text.h"

namespace kiroku {

namespace {

std::nullptr_t raise_open_error(std::string_view path) {
  std::string message = "failed to open ";
  message += kSourceFormatLabel;
  message += " log file ";
  message += quoted_path(path);
  return raise_with_message(PyExc_FileNotFoundError, message);
}

std::nullptr_t raise_content_error(const LogFileError& error) {
  switch (error.kind) {
    case LogFileError::Kind::Read: return raise_os_error(error.error_number);
    case LogFileError::Kind::InvalidUtf8:
      return raise_with_message(PyExc_OSError, "stream did not contain valid UTF-8");
    case LogFileError::Kind::TooLarge:
      return raise_with_message(PyExc_OSError, std::string(error.codec ? "decompressed log" : "log file") +
                                                   " exceeds the size limit of " + size_text(kDefaultMaxLogBytes));
    case LogFileError::Kind::Corrupt:
      return raise_with_message(PyExc_OSError,
                                std::string("invalid ") + codec_name(*error.codec) + " data: " + error.detail);
  }
  return raise_internal_failure(nullptr, "unknown input error");
}

}  // namespace

std::expected<PaddedText, InputError> read_log_file(const std::string& path) {
  auto fd = open_file(path, O_RDONLY);
  if (!fd) return std::unexpected(OpenFailure{fd.error()});

  auto text = read_log_text(fd->get(), kDefaultMaxLogBytes);
  if (!text) return std::unexpected(std::move(text.error()));
  return std::move(*text);
}

std::nullptr_t raise_input_error(const InputError& error, std::string_view path) {
  if (std::holds_alternative<OpenFailure>(error)) return raise_open_error(path);
  return raise_content_error(std::get<LogFileError>(error));
}

}  // namespace kiroku
