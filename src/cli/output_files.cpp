#include "cli/output_files.h"

#include <fcntl.h>  // open, linkat, fcntl
#include <poll.h>
#include <sys/stat.h>  // lstat, fchmod
#include <unistd.h>    // fchown, getpid, unlink, write

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>  // rename, snprintf
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/display.h"
#include "cli/errno_text.h"
#include "cli/input_files.h"
#include "kiroku/io/descriptors.h"
#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

// Symbolic links followed before giving up, as the kernel counts them.
constexpr int kMaxLinks = 40;
// How often an output FIFO without a reader is tried again: a reader's
// arrival cannot be waited for in poll.
constexpr int kReaderRetryMilliseconds = 50;
// Not an errno value: the file system cannot give or link an unnamed file.
constexpr int kUnsupported = -1;

// A name for a temporary file in `directory`.  It starts with a dot and ends
// in ".tmp", so a directory walk for logs passes it over; it does not depend
// on the target's name, which may already be as long as a name can be.
std::string temporary_name(const fs::path& directory, unsigned long number) {
  return (directory / (".kiroku-" + std::to_string(::getpid()) + "-" + std::to_string(number) + ".tmp")).native();
}

// The "link" of an unnamed file: through /proc, which any user may do, or
// else through the descriptor itself, which needs CAP_DAC_READ_SEARCH.
// Returns 0, an errno value, or kUnsupported.
int link_unnamed(int fd, const char* destination) noexcept {
  std::array<char, 32> proc_path{};
  std::snprintf(proc_path.data(), proc_path.size(), "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, proc_path.data(), AT_FDCWD, destination, AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return errno;
  if (::linkat(fd, "", AT_FDCWD, destination, AT_EMPTY_PATH) == 0) return 0;
  return errno == ENOENT || errno == EPERM ? kUnsupported : errno;
}

// The named temporary files of this process.  Each is listed before it is
// made, and made, renamed and removed with the lock held, so the list is
// never behind the directories: a process about to die of a signal takes
// the lock for good, removes what is listed, and nothing is named after.
class TemporaryNames {
 public:
  // A new empty file in `directory`, or errno.
  std::expected<std::pair<std::string, UniqueFd>, int> create(const fs::path& directory) {
    const std::lock_guard lock(mutex_);
    for (;;) {
      names_.push_back(temporary_name(directory, counter_++));
      auto created = open_file(names_.back(), O_WRONLY | O_CREAT | O_EXCL, 0666);
      if (created) return std::pair(names_.back(), std::move(*created));
      names_.pop_back();
      if (created.error() != EEXIST) return std::unexpected(created.error());  // EEXIST: an earlier run's leftover
    }
  }

  // The unnamed file open on `fd`, given a name in `directory`; or errno,
  // or kUnsupported.
  std::expected<std::string, int> link(int fd, const fs::path& directory) {
    const std::lock_guard lock(mutex_);
    for (;;) {
      names_.push_back(temporary_name(directory, counter_++));
      const int error = link_unnamed(fd, names_.back().c_str());
      if (error == 0) return names_.back();
      names_.pop_back();
      if (error != EEXIST) return std::unexpected(error);
    }
  }

  // 0, or the errno value of the failed rename (the file stays listed).
  int rename(const std::string& name, const fs::path& target) {
    const std::lock_guard lock(mutex_);
    if (std::rename(name.c_str(), target.c_str()) != 0) return errno;
    unlist(name);
    return 0;
  }

  void remove(const std::string& name) {
    const std::lock_guard lock(mutex_);
    ::unlink(name.c_str());
    unlist(name);
  }

  void abandon() noexcept {
    mutex_.lock();  // never unlocked: the process ends
    for (const std::string& name : names_) ::unlink(name.c_str());
  }

 private:
  void unlist(const std::string& name) noexcept {
    if (const auto it = std::ranges::find(names_, name); it != names_.end()) names_.erase(it);
  }

  std::mutex mutex_;
  std::vector<std::string> names_;
  unsigned long counter_ = 0;  // distinguishes the files of one process's threads
};

TemporaryNames& temporary_names() {
  static TemporaryNames names;
  return names;
}

// A listed temporary file that is closed and removed unless it was renamed.
class NamedTemporary {
 public:
  NamedTemporary(std::string name, UniqueFd fd) noexcept : name_(std::move(name)), fd_(std::move(fd)) {}
  NamedTemporary(const NamedTemporary&) = delete;
  NamedTemporary& operator=(const NamedTemporary&) = delete;
  ~NamedTemporary() {
    if (renamed_) return;
    fd_.close();
    temporary_names().remove(name_);
  }

  int fd() const noexcept { return fd_.get(); }

  // Closes the file, reporting what some file systems only report then, and
  // renames it over `target`.  0, or the errno value.
  int rename_to(const fs::path& target) {
    if (const int error = fd_.close(); error != 0) return error;
    if (const int error = temporary_names().rename(name_, target); error != 0) return error;
    renamed_ = true;
    return 0;
  }

 private:
  std::string name_;
  UniqueFd fd_;
  bool renamed_ = false;
};

// Gives the new file the mode of the one it replaces, and its owner and
// group where this process may.  0, or the errno value.
int keep_owner_and_mode(int fd, const struct stat& existing) noexcept {
  // The owner first: changing it clears set-user-ID and set-group-ID bits,
  // which the mode then restores.  Only the superuser gives a file away;
  // others may still keep its group, if it is one of theirs.
  if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
    [[maybe_unused]] const int group_kept = ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
  }
  return ::fchmod(fd, existing.st_mode & 07777) == 0 ? 0 : errno;
}

// Through an unnamed file.  0, an errno value, or kUnsupported before
// anything is visible.  The descriptor's close reports nothing here: the
// file systems that have unnamed files report write errors at the write.
int replace_through_unnamed(const fs::path& directory, const fs::path& target, std::string_view bytes,
                            const std::optional<struct stat>& existing) {
  const UniqueFd fd(::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (!fd) {
    // EISDIR: a kernel that reads O_TMPFILE as O_DIRECTORY alone.
    return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? kUnsupported : errno;
  }
  if (const int error = write_all(fd.get(), bytes, -1); error != 0) return error;
  if (existing) {
    if (const int error = keep_owner_and_mode(fd.get(), *existing); error != 0) return error;
  } else {
    // Nothing to replace: the link itself puts the whole file in place.
    const int linked = link_unnamed(fd.get(), target.c_str());
    if (linked != EEXIST) return linked;  // EEXIST: made meanwhile, so replaced as below
  }
  auto name = temporary_names().link(fd.get(), directory);
  if (!name) return name.error();
  if (const int error = temporary_names().rename(*name, target); error != 0) {
    temporary_names().remove(*name);
    return error;
  }
  return 0;
}

int replace_through_named(const fs::path& directory, const fs::path& target, std::string_view bytes,
                          const std::optional<struct stat>& existing) {
  auto created = temporary_names().create(directory);
  if (!created) return created.error();
  NamedTemporary temporary(std::move(created->first), std::move(created->second));
  if (const int error = write_all(temporary.fd(), bytes, -1); error != 0) return error;
  if (existing) {
    if (const int error = keep_owner_and_mode(temporary.fd(), *existing); error != 0) return error;
  }
  return temporary.rename_to(target);
}

int replace_file(const fs::path& target, std::string_view bytes, const std::optional<struct stat>& existing) {
  const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int result = replace_through_unnamed(directory, target, bytes, existing);
  if (result != kUnsupported) return result;
  return replace_through_named(directory, target, bytes, existing);
}

// A FIFO or a device, written as it is.  0, or the errno value.
int write_stream(const fs::path& path, std::string_view bytes, bool fifo, int cancel_fd) {
  // Never blocking in open: a FIFO without a reader is waited for here,
  // where the run's stop can end the wait.
  auto opened = open_file(path.native(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
  while (!opened) {
    if (opened.error() != ENXIO || !fifo) return opened.error();  // ENXIO of a socket: nothing to wait for
    pollfd stop{cancel_fd, POLLIN, 0};
    if (::poll(&stop, cancel_fd >= 0 ? 1 : 0, kReaderRetryMilliseconds) > 0) return ECANCELED;
    opened = open_file(path.native(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
  }
  UniqueFd stream = std::move(*opened);
  const int fd = stream.get();
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
  if (const int error = write_all(fd, bytes, cancel_fd); error != 0) return error;
  return stream.close();
}

// `path` with the symbolic links of its last component followed: the file
// it leads to, which may not exist yet.
std::expected<fs::path, int> follow_links(const fs::path& path) {
  fs::path current = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat info{};
    // Any other failure shows again, with its reason, when the file is made.
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::error_code error;
    const fs::path link = fs::read_symlink(current, error);
    if (error) return std::unexpected(error.value());
    current = link.is_absolute() ? link : current.parent_path() / link;
  }
  return std::unexpected(ELOOP);
}

}  // namespace

fs::path output_relative_path(const fs::path& relative, bool gzip) {
  std::string name = relative.filename().native();
  name.resize(name.size() - log_extension_size(name));
  name += gzip ? ".mjson.gz" : ".mjson";
  return relative.parent_path() / name;
}

std::expected<void, WriteFailure> write_output_file(const fs::path& target, std::string_view bytes, int cancel_fd) {
  const auto failure = [&](int error) {
    return std::unexpected(WriteFailure{"write: " + shown(target.native()) + ": " + errno_text(error)});
  };
  auto resolved = follow_links(target);
  if (!resolved) return failure(resolved.error());

  struct stat info{};
  int error = 0;
  if (::lstat(resolved->c_str(), &info) == 0) {
    if (S_ISREG(info.st_mode)) {
      error = replace_file(*resolved, bytes, info);
    } else if (S_ISDIR(info.st_mode)) {
      error = EISDIR;
    } else {
      error = write_stream(*resolved, bytes, S_ISFIFO(info.st_mode), cancel_fd);
    }
  } else if (errno != ENOENT) {
    error = errno;
  } else {
    const fs::path directory = resolved->parent_path();
    std::error_code created;
    if (!directory.empty()) fs::create_directories(directory, created);
    if (created) {
      return std::unexpected(
          WriteFailure{"write: cannot create directory " + shown(directory.native()) + ": " + created.message()});
    }
    error = replace_file(*resolved, bytes, std::nullopt);
  }
  if (error != 0) return failure(error);
  return {};
}

std::expected<void, WriteFailure> write_standard_output(std::string_view bytes, int cancel_fd) {
  if (const int error = write_all(STDOUT_FILENO, bytes, cancel_fd); error != 0) {
    return std::unexpected(WriteFailure{"write: standard output: " + errno_text(error), error == EPIPE});
  }
  return {};
}

void abandon_temporary_files() noexcept { temporary_names().abandon(); }

}  // namespace kiroku::cli
