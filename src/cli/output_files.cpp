#include "cli/output_files.h"

#include <fcntl.h>   // open
#include <unistd.h>  // getpid, unlink, write

#include <atomic>
#include <cerrno>
#include <cstdio>  // rename
#include <system_error>
#include <utility>

#include "cli/errno_text.h"
#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

// Distinguishes the temporary files of one process's threads.
std::atomic<unsigned long> temp_counter{0};

// A temporary file that removes itself unless it was committed by renaming.
class TempFile {
 public:
  TempFile(fs::path path, UniqueFd fd) noexcept : path_(std::move(path)), fd_(std::move(fd)) {}
  TempFile(TempFile&& other) noexcept
      : path_(std::move(other.path_)), fd_(std::move(other.fd_)), committed_(std::exchange(other.committed_, true)) {}
  TempFile& operator=(TempFile&&) = delete;
  ~TempFile() {
    if (committed_) return;
    fd_.close();
    ::unlink(path_.c_str());
  }

  int fd() const noexcept { return fd_.get(); }
  const fs::path& path() const noexcept { return path_; }

  // Closes the file and renames it to `target`.  Returns 0 or an errno value.
  int commit_as(const fs::path& target) noexcept {
    if (const int error = fd_.close(); error != 0) return error;
    if (std::rename(path_.c_str(), target.c_str()) != 0) return errno;
    committed_ = true;
    return 0;
  }

 private:
  fs::path path_;
  UniqueFd fd_;
  bool committed_ = false;
};

// The name starts with a dot and ends in ".tmp", so a directory walk for logs
// passes it over; it does not depend on the target's name, which may already
// be as long as a name can be.
std::expected<TempFile, int> create_temp_file(const fs::path& directory) {
  for (;;) {
    const fs::path path = directory / (".kiroku-" + std::to_string(::getpid()) + "-" +
                                       std::to_string(temp_counter.fetch_add(1, std::memory_order_relaxed)) + ".tmp");
    // 0666 before the umask, as for any created file.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return TempFile(path, UniqueFd(fd));
    if (errno != EEXIST) return std::unexpected(errno);  // EEXIST: a leftover of an earlier run
  }
}

// Returns 0 or an errno value.
int write_all(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return 0;
}

std::string write_failure(const fs::path& path, int error) {
  return "write: " + path.native() + ": " + errno_text(error);
}

}  // namespace

fs::path output_relative_path(const fs::path& relative, bool gzip) {
  std::string name = relative.filename().native();
  if (name.ends_with(".json.gz")) {
    name.resize(name.size() - 8);
  } else if (name.ends_with(".json")) {
    name.resize(name.size() - 5);
  }
  name += gzip ? ".mjson.gz" : ".mjson";
  return relative.parent_path() / name;
}

std::expected<void, std::string> write_file_atomically(const fs::path& target, std::string_view bytes) {
  const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code error;
  fs::create_directories(directory, error);
  if (error) return std::unexpected("write: cannot create directory " + directory.native() + ": " + error.message());

  auto temp = create_temp_file(directory);
  if (!temp) return std::unexpected(write_failure(directory, temp.error()));
  if (const int failure = write_all(temp->fd(), bytes); failure != 0) {
    return std::unexpected(write_failure(target, failure));
  }
  if (const int failure = temp->commit_as(target); failure != 0) return std::unexpected(write_failure(target, failure));
  return {};
}

std::expected<void, std::string> write_standard_output(std::string_view bytes) {
  if (const int failure = write_all(STDOUT_FILENO, bytes); failure != 0) {
    return std::unexpected("write: standard output: " + errno_text(failure));
  }
  return {};
}

}  // namespace kiroku::cli
