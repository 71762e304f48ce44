// --manifest: one JSON line per log of the run, in the run's order, for the
// loaders and scripts that take the converted set: where each log came from,
// where it went, and how it ended.  Written whole or not at all, as any
// output.
#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "cli/job.h"
#include "cli/output_writer.h"

namespace kiroku::cli {

// A JSON string of raw bytes: UTF-8 as it is, with JSON's escapes; each
// byte outside UTF-8 as the lone surrogate U+DC80 to U+DCFF, as Python's
// "surrogateescape" reads it back into the same bytes.
std::string json_string_of_bytes(std::string_view bytes);

// {"source":"db.sqlite:ID","output":"out/ID.mjson","status":"converted",
// "reason":null,"events":1234,"hands":9}; "reason" is the skip's text or the
// failure's diagnostic, "output" null for a log that was not written.
std::string manifest_line(const Job& job, const Outcome& outcome);

class Manifest {
 public:
  // The manifest at `path` ("-": standard output).
  [[nodiscard]] static std::expected<Manifest, WriteFailure> open(const std::optional<std::filesystem::path>& path,
                                                                  int cancel_fd);

  // The line of the job at `index` in the run's order; lines go out in that
  // order as the gaps before them fill.
  void add(std::size_t index, const Job& job, const Outcome& outcome);

  // Writes the lines still waiting (behind jobs that were never reported)
  // and puts the file in place.
  [[nodiscard]] std::expected<void, WriteFailure> commit();

 private:
  explicit Manifest(OutputWriter writer) noexcept : writer_(std::move(writer)) {}
  void write(const std::string& line);

  OutputWriter writer_;
  std::map<std::size_t, std::string> waiting_;
  std::size_t next_ = 0;
  std::optional<WriteFailure> failure_;
};

}  // namespace kiroku::cli
