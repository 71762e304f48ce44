// Paths of any length, walked a name at a time from directory descriptors,
// so that the system is never handed a whole path and PATH_MAX never
// applies.
#pragma once

#include <sys/stat.h>

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {

// Where a path to a file leads.
struct PathPlace {
  std::filesystem::path path;         // the file, the links of its last name followed, as messages name it
  UniqueFd directory;                 // the deepest of its directories that exists (O_PATH)
  std::vector<std::string> missing;   // the directories below that one still to be made, outermost first
  std::string name;                   // the file's name in the last of them
  std::optional<struct stat> status;  // the file's own (lstat), when it exists
};

// Opens each directory of `path` that exists in turn (relative to the
// working directory unless `path` is absolute; symbolic links among them are
// followed as the system follows them) and follows the symbolic links of its
// last name, 40 at most, to the file they lead to, which may not exist yet.
// Or the errno value: ENOTDIR for a file where a directory is needed, ELOOP,
// EISDIR for a path that ends in a directory's name ("a/", "a/.", "a/..").
[[nodiscard]] std::expected<PathPlace, int> locate(const std::filesystem::path& path);

// The file's own directory, after making the missing ones in turn as
// `mkdir -p` does (one made meanwhile by someone else is taken as it is):
// an O_PATH descriptor, or the errno value.
[[nodiscard]] std::expected<UniqueFd, int> make_directories(const PathPlace& place);

}  // namespace kiroku::cli
