// One log's output, taken a piece at a time as the conversion hands it out
// and put in place whole once the log has converted.
#pragma once

#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kiroku::cli {

struct WriteFailure {
  // "write: out/a.mjson: No space left on device" (the path shown), "write:
  // cannot create directory out/a: ...", "gzip: ...".
  std::string diagnostic;
  bool standard_output_closed = false;  // the reader of standard output went away (EPIPE)
};

// Where the output goes decides how it is written, as the system would
// least surprise its owner:
// - a regular file, or none: as FileReplacement writes it (whole or absent,
//   mode and owner kept, missing directories made however deep);
// - a symbolic link: the same for the file it leads to; the link stays;
// - standard output, or anything else that exists (a FIFO, a device): as
//   StreamOutput writes it, only once the log has converted, from a spool
//   that holds at most 16 MiB in memory.
// Dropping the writer without commit() abandons the output: the target is
// as it was and no temporary file is left.
class OutputWriter {
 public:
  // For `target`, or standard output when none; with `gzip`, the pieces go
  // through one gzip member.  Waits on streams end when `cancel_fd` becomes
  // readable.
  [[nodiscard]] static std::expected<OutputWriter, WriteFailure> open(
      const std::optional<std::filesystem::path>& target, bool gzip, int cancel_fd);

  OutputWriter(OutputWriter&&) noexcept;
  OutputWriter& operator=(OutputWriter&&) noexcept;
  ~OutputWriter();

  // Takes the next piece.  After a failure every later call fails the same.
  [[nodiscard]] std::expected<void, WriteFailure> write(std::string_view piece);

  // Ends the output and puts it in place.
  [[nodiscard]] std::expected<void, WriteFailure> commit();

 private:
  struct State;
  explicit OutputWriter(std::unique_ptr<State> state) noexcept;
  std::unique_ptr<State> state_;  // on the heap: the gzip writer's sink points to it
};

}  // namespace kiroku::cli
