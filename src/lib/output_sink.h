// Where tenhou_file_to_mjai writes the event lines: a created file, or the
// process's standard output for the path "-".
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "kiroku/io/unique_fd.h"

namespace kiroku {

// Whether `path` is the path "-" when compared component by component:
// "-", "-/" and "-//." are; "./-" and "/-" are not.
bool is_standard_output_path(std::string_view path) noexcept;

class OutputSink {
 public:
  // Standard output for "-"; otherwise the file, created with permission
  // bits 0666 (before the umask) or truncated.  The error is errno.
  [[nodiscard]] static std::expected<OutputSink, int> open(const std::string& path);

  // Writes `lines` (whole lines, each ended by a line feed) in full.  False
  // when a write fails; what was written before it stays.
  [[nodiscard]] bool write_lines(std::string_view lines);

  // Closes a created file and reports whether the system took it: some file
  // systems report lost data only here.  Standard output stays open.
  [[nodiscard]] bool close();

 private:
  explicit OutputSink(UniqueFd file) noexcept : file_(std::move(file)) {}
  UniqueFd file_;  // empty for standard output
};

}  // namespace kiroku
