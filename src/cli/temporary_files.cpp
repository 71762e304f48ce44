#include "cli/temporary_files.h"

#include <fcntl.h>   // openat, linkat, renameat
#include <unistd.h>  // getpid, unlinkat

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>  // snprintf
#include <mutex>
#include <utility>
#include <vector>

#include "kiroku/io/descriptors.h"

namespace kiroku::cli {
namespace {

// The named temporary files of this process.  Each is listed before it is
// made, and made, renamed and removed with the lock held, so the list is
// never behind the directories: a process about to die of a signal takes
// the lock for good, removes what is listed, and nothing is named after.
class TemporaryNames {
 public:
  // Lists a new hidden name in `directory` and has `make` (0 or an errno
  // value) give it a file, with new names while it fails with EEXIST (an
  // earlier run's leftover).  The name, or the value `make` failed with.
  template <class Make>
  std::expected<std::string, int> make_named(int directory, Make make) {
    const std::lock_guard lock(mutex_);
    for (;;) {
      const std::string name = ".kiroku-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++) + ".tmp";
      entries_.push_back({directory, name});
      const int error = make(name.c_str());
      if (error == 0) return name;
      entries_.pop_back();
      if (error != EEXIST) return std::unexpected(error);
    }
  }

  // 0, or the errno value of the failed rename (the file stays listed).
  int rename(int directory, const std::string& name, int to_directory, const char* to_name) {
    const std::lock_guard lock(mutex_);
    if (::renameat(directory, name.c_str(), to_directory, to_name) != 0) return errno;
    unlist(name);
    return 0;
  }

  void remove(int directory, const std::string& name) {
    const std::lock_guard lock(mutex_);
    ::unlinkat(directory, name.c_str(), 0);
    unlist(name);
  }

  void abandon() noexcept {
    mutex_.lock();  // never unlocked: the process ends
    for (const Entry& entry : entries_) ::unlinkat(entry.directory, entry.name.c_str(), 0);
  }

 private:
  struct Entry {
    int directory;  // open as long as the entry is listed (NamedTemporary's contract)
    std::string name;
  };

  // Names are never reused by a process, whatever their directory.
  void unlist(const std::string& name) noexcept {
    const auto it = std::ranges::find(entries_, name, &Entry::name);
    if (it != entries_.end()) entries_.erase(it);
  }

  std::mutex mutex_;
  std::vector<Entry> entries_;
  unsigned long counter_ = 0;  // distinguishes the files of one process's threads
};

TemporaryNames& temporary_names() {
  static TemporaryNames names;
  return names;
}

}  // namespace

std::expected<UniqueFd, int> open_unnamed(int directory) {
  // Linking goes through /proc, which any user may do (through the
  // descriptor itself it needs CAP_DAC_READ_SEARCH); without it an unnamed
  // file could never be put in place.
  static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
  if (!linkable) return std::unexpected(kUnsupported);
  auto opened = open_file_at(directory, ".", O_TMPFILE | O_RDWR, 0666);
  if (opened) return opened;
  // EISDIR: a kernel that reads O_TMPFILE as O_DIRECTORY alone.
  const int error = opened.error();
  return std::unexpected(error == EOPNOTSUPP || error == EISDIR || error == EINVAL ? kUnsupported : error);
}

int link_unnamed(int fd, int directory, const char* name) noexcept {
  std::array<char, 32> proc_path{};
  std::snprintf(proc_path.data(), proc_path.size(), "/proc/self/fd/%d", fd);
  return ::linkat(AT_FDCWD, proc_path.data(), directory, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

std::expected<UniqueFd, int> open_anonymous(int directory) {
  auto unnamed = open_unnamed(directory);
  if (unnamed || unnamed.error() != kUnsupported) return unnamed;
  auto named = NamedTemporary::create(directory);
  if (!named) return std::unexpected(named.error());
  // The destructor removes the name; this descriptor keeps the file.
  UniqueFd kept(::fcntl(named->fd(), F_DUPFD_CLOEXEC, 0));
  if (!kept) return std::unexpected(errno);
  return kept;
}

NamedTemporary::NamedTemporary(int directory, std::string name, UniqueFd fd) noexcept
    : directory_(directory), name_(std::move(name)), fd_(std::move(fd)) {}

NamedTemporary::NamedTemporary(NamedTemporary&& other) noexcept
    : directory_(std::exchange(other.directory_, -1)), name_(std::move(other.name_)), fd_(std::move(other.fd_)) {}

NamedTemporary::~NamedTemporary() {
  if (directory_ < 0) return;
  fd_.close();
  temporary_names().remove(directory_, name_);
}

std::expected<NamedTemporary, int> NamedTemporary::create(int directory) {
  UniqueFd fd;
  auto name = temporary_names().make_named(directory, [&](const char* candidate) {
    auto created = open_file_at(directory, candidate, O_RDWR | O_CREAT | O_EXCL, 0666);
    if (!created) return created.error();
    fd = std::move(*created);
    return 0;
  });
  if (!name) return std::unexpected(name.error());
  return NamedTemporary(directory, std::move(*name), std::move(fd));
}

std::expected<NamedTemporary, int> NamedTemporary::link(int fd, int directory) {
  auto name = temporary_names().make_named(
      directory, [&](const char* candidate) { return link_unnamed(fd, directory, candidate); });
  if (!name) return std::unexpected(name.error());
  return NamedTemporary(directory, std::move(*name), UniqueFd());
}

int NamedTemporary::rename_to(int to_directory, const char* name) {
  if (const int error = fd_.close(); error != 0) return error;
  if (const int error = temporary_names().rename(directory_, name_, to_directory, name); error != 0) return error;
  directory_ = -1;
  return 0;
}

void abandon_temporary_files() noexcept { temporary_names().abandon(); }

}  // namespace kiroku::cli
