// The temporary files of this process's outputs and spools, made so that a
// process that ends midway leaves none behind: unnamed files where the file
// system has them, which vanish with the process however it ends, and
// otherwise hidden named ones that an ending by a signal removes.
#pragma once

#include <expected>
#include <string>

#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {

// Not an errno value: the file system cannot give or link an unnamed file.
inline constexpr int kUnsupported = -1;

// A new unnamed file (O_TMPFILE) in the directory open on `directory`, for
// reading and writing, that link_unnamed can put in place; the errno value, or
// kUnsupported.
[[nodiscard]] std::expected<UniqueFd, int> open_unnamed(int directory);

// Gives the unnamed file open on `fd` the name `name` in `directory`: 0, or
// an errno value (EEXIST: the name is taken).
[[nodiscard]] int link_unnamed(int fd, int directory, const char* name) noexcept;

// A file nothing names, for scratch data: unnamed where the file system has
// them, otherwise a hidden named file removed at once.  Or the errno value.
[[nodiscard]] std::expected<UniqueFd, int> open_anonymous(int directory);

// A hidden file ".kiroku-PID-N.tmp", named so that no directory walk takes
// it for a log and so that its name never depends on the target's, which
// may already be as long as a name can be.  It is listed from before it
// exists until it is renamed into place or removed, so that
// abandon_temporary_files() never misses it; the destructor removes it
// unless it was renamed.  `directory` is borrowed: it must stay open as long
// as the object lives.
class NamedTemporary {
 public:
  // A new empty file in `directory`, open for reading and writing; or the
  // errno value.
  [[nodiscard]] static std::expected<NamedTemporary, int> create(int directory);
  // The unnamed file open on `fd` given a hidden name in `directory`; or the
  // errno value.  fd() is then -1.
  [[nodiscard]] static std::expected<NamedTemporary, int> link(int fd, int directory);

  NamedTemporary(NamedTemporary&& other) noexcept;
  NamedTemporary& operator=(NamedTemporary&&) = delete;
  ~NamedTemporary();

  int fd() const noexcept { return fd_.get(); }

  // Closes the file, reporting what some file systems only report then, and
  // renames it over `name` in `to_directory`: 0, or the errno value.
  [[nodiscard]] int rename_to(int to_directory, const char* name);

 private:
  NamedTemporary(int directory, std::string name, UniqueFd fd) noexcept;

  int directory_ = -1;  // -1: moved from, renamed or removed
  std::string name_;
  UniqueFd fd_;
};

// Removes every named temporary file this process has now and keeps every
// thread from naming a new one or renaming one into place, for good: the
// last step of a process about to end by a signal.
void abandon_temporary_files() noexcept;

}  // namespace kiroku::cli
