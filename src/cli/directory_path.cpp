#include "cli/directory_path.h"

#include <fcntl.h>     // O_PATH, AT_SYMLINK_NOFOLLOW
#include <limits.h>    // PATH_MAX
#include <sys/stat.h>  // fstatat, mkdirat
#include <unistd.h>    // readlinkat

#include <cerrno>
#include <string_view>
#include <utility>

#include "kiroku/io/descriptors.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

// Symbolic links followed before giving up, as the kernel counts them.
constexpr int kMaxLinks = 40;

constexpr int kDirectoryFlags = O_PATH | O_DIRECTORY;

// Walks the directories of `path` (all but its last name) from `place`'s
// directory on, and leaves the last name in `place.name`.  0, or the errno
// value.
int walk_directories(std::string_view path, PathPlace& place) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    const std::string_view name = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (slash == std::string_view::npos) {
      if (name.empty() || name == "." || name == "..") return EISDIR;
      place.name = std::string(name);
      return 0;
    }
    start = slash + 1;
    if (name.empty() || name == ".") continue;
    if (!place.missing.empty()) {
      place.missing.emplace_back(name);
      continue;
    }
    auto next = open_file_at(place.directory.get(), name, kDirectoryFlags);
    if (next) {
      place.directory = std::move(*next);
    } else if (next.error() == ENOENT) {
      place.missing.emplace_back(name);
    } else {
      return next.error();
    }
  }
}

std::expected<UniqueFd, int> start_of(std::string_view path) {
  return open_file_at(AT_FDCWD, path.starts_with('/') ? "/" : ".", kDirectoryFlags);
}

}  // namespace

std::expected<PathPlace, int> locate(const fs::path& path) {
  PathPlace place;
  place.path = path;
  std::string walked = path.native();
  auto start = start_of(walked);
  if (!start) return std::unexpected(start.error());
  place.directory = std::move(*start);
  for (int links = 0;; ++links) {
    if (const int error = walk_directories(walked, place); error != 0) return std::unexpected(error);
    if (!place.missing.empty()) return place;
    struct stat status{};
    if (::fstatat(place.directory.get(), place.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return place;
      return std::unexpected(errno);
    }
    if (!S_ISLNK(status.st_mode)) {
      place.status = status;
      return place;
    }
    if (links == kMaxLinks) return std::unexpected(ELOOP);
    // The system keeps a link's text under PATH_MAX.
    std::string link(PATH_MAX, '\0');
    const ssize_t size = ::readlinkat(place.directory.get(), place.name.c_str(), link.data(), link.size());
    if (size < 0) return std::unexpected(errno);
    link.resize(static_cast<std::size_t>(size));
    // A relative link goes on from the directory it is in.
    if (link.starts_with('/')) {
      start = start_of(link);
      if (!start) return std::unexpected(start.error());
      place.directory = std::move(*start);
    }
    place.path = link.starts_with('/') ? fs::path(link) : place.path.parent_path() / link;
    walked = std::move(link);
  }
}

std::expected<UniqueFd, int> make_directories(const PathPlace& place) {
  auto directory = open_file_at(place.directory.get(), ".", kDirectoryFlags);
  for (const std::string& name : place.missing) {
    if (!directory) break;
    if (::mkdirat(directory->get(), name.c_str(), 0777) != 0 && errno != EEXIST) return std::unexpected(errno);
    directory = open_file_at(directory->get(), name, kDirectoryFlags);
  }
  return directory;
}

}  // namespace kiroku::cli
