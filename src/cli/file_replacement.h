// A regular file's new content, written beside it and put in place whole.
#pragma once

#include <sys/stat.h>

#include <expected>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "cli/directory_path.h"
#include "cli/temporary_files.h"
#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {

// The content goes into an unnamed file (O_TMPFILE) in the deepest existing
// directory of the file's path, which becomes the file only when it is
// linked in place, so that the file never holds part of the content, even
// when the process is killed midway.  An existing file is replaced by
// linking the new one under a hidden name and renaming it over the old one.
// Where the file system has no unnamed files, a hidden named one is written
// and renamed over it instead (a signal that ends the process removes it).
// A file that existed keeps its mode, and its owner and group where the
// process may give them; a new one gets the mode of any new file (0666 less
// the umask).  Nothing is made, not even a missing directory, before
// commit(); without it nothing is left.  Not synced to disk: a power loss may
// still lose a finished file.
class FileReplacement {
 public:
  // The new content of the regular file `place` leads to, or of a new file
  // when `place.status` is none.  Or the errno value.
  [[nodiscard]] static std::expected<FileReplacement, int> begin(PathPlace place);

  // The file, as messages name it.
  const std::filesystem::path& path() const noexcept { return place_.path; }

  // 0, or the errno value.
  [[nodiscard]] int write(std::string_view bytes);

  // Makes the missing directories (as make_directories); 0, or the errno
  // value.  Then commit() may put the file in place.
  [[nodiscard]] int make_directories();
  // 0, or the errno value; the file stays as it was on failure.
  [[nodiscard]] int commit();

 private:
  explicit FileReplacement(PathPlace place) noexcept : place_(std::move(place)) {}
  int fd() const noexcept { return unnamed_ ? unnamed_.get() : named_->fd(); }

  PathPlace place_;
  UniqueFd unnamed_;                     // the new content, where the file system has unnamed files
  std::optional<NamedTemporary> named_;  // otherwise; in place_.directory, which outlives it
  UniqueFd own_directory_;               // the file's directory, once made
};

}  // namespace kiroku::cli
