// Naming and writing the mjai files.
#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace kiroku::cli {

// The output's path below the output directory for an input found at
// `relative`: ".json", ".mjlog" or ".xml", each maybe followed by ".gz",
// replaced by ".mjson" (".mjson.gz" with `gzip`); a name without any of them
// gets the extension appended.
std::filesystem::path output_relative_path(const std::filesystem::path& relative, bool gzip);

struct WriteFailure {
  std::string diagnostic;               // "write: out/a.mjson: No space left on device" (the path shown)
  bool standard_output_closed = false;  // the reader of standard output went away (EPIPE)
};

// Writes `bytes` as the whole new content of `target`, as the system would
// least surprise its owner:
// - a regular file, or none: into an unnamed temporary file beside it
//   (O_TMPFILE) that becomes the file only when it is linked in place, so
//   that `target` never holds part of the bytes, even when the process is
//   killed midway.  Where the file system has no unnamed files, a hidden
//   named one (".kiroku-PID-N.tmp") is renamed over it instead; a signal
//   that ends the process removes it (abandon_temporary_files).  A file that
//   existed keeps its mode, and its owner and group where the process may
//   give them; a new one gets the mode of any new file (0666 less the umask).
//   Missing parent directories are created.
// - a symbolic link: the same for the file it leads to; the link stays.
// - anything else (a FIFO, a device): opened and written directly, as a
//   stream.  A FIFO without a reader is waited for; that wait, and waits for
//   room, end when `cancel_fd` becomes readable.
// On failure `target` is as it was (a stream may have taken part of the
// bytes) and no temporary file is left.  Not synced to disk: a power loss
// may still lose a finished file.
[[nodiscard]] std::expected<void, WriteFailure> write_output_file(const std::filesystem::path& target,
                                                                  std::string_view bytes, int cancel_fd);

// Writes all of `bytes` to standard output; waits for room end when
// `cancel_fd` becomes readable.
[[nodiscard]] std::expected<void, WriteFailure> write_standard_output(std::string_view bytes, int cancel_fd);

// Removes every named temporary file this process has now and keeps every
// thread from naming a new one or renaming one into place, for good: the
// last step of a process about to end by a signal.
void abandon_temporary_files() noexcept;

}  // namespace kiroku::cli
