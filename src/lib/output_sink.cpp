#include "lib/output_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <mutex>

#include "kiroku/io/descriptors.h"

namespace kiroku {

namespace {

// The process's one stream on descriptor 1, made at its first use and kept
// until the process ends.  It is line-buffered: every line handed to it is complete,
// so each goes out at once and nothing waits in a buffer.  Its lock keeps
// the lines of two writers from interleaving.  A closed descriptor 1 is
// not an error: the lines are dropped as written.
class StandardOutputStream {
 public:
  bool write_lines(std::string_view lines) {
    const std::lock_guard lock(mutex_);
    const int error = write_all(STDOUT_FILENO, lines);
    return error == 0 || error == EBADF;
  }

 private:
  std::mutex mutex_;
};

StandardOutputStream& standard_output() {
  static StandardOutputStream stream;
  return stream;
}

}  // namespace

bool is_standard_output_path(std::string_view path) noexcept {
  // First component "-", then only empty or "." components (separators
  // repeated or trailing, or "." inside the path, which name nothing).
  const std::size_t first_end = path.find('/');
  if (path.substr(0, first_end) != "-") return false;
  if (first_end == std::string_view::npos) return true;
  std::string_view rest = path.substr(first_end + 1);
  while (!rest.empty()) {
    const std::size_t end = rest.find('/');
    const std::string_view component = rest.substr(0, end);
    if (!component.empty() && component != ".") return false;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return true;
}

std::expected<OutputSink, int> OutputSink::open(const std::string& path) {
  if (is_standard_output_path(path)) return OutputSink(UniqueFd());
  auto file = open_file(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (!file) return std::unexpected(file.error());
  return OutputSink(std::move(*file));
}

bool OutputSink::write_lines(std::string_view lines) {
  if (!file_) return standard_output().write_lines(lines);
  return write_all(file_.get(), lines) == 0;
}

bool OutputSink::close() {
  // An interrupted close counts as failed too: the descriptor is gone and
  // whether the data arrived is unknown.
  return file_.close() == 0;
}

}  // namespace kiroku
