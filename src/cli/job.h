// One log of a run, a file (or standard input) or a row of a log database,
// with where its output goes, and how it ended.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cli/input_files.h"
#include "kiroku/conv/conversion_stats.h"

namespace kiroku::cli {

// Why a log is passed over.  None of these makes the run fail but the
// first: a log the run never started.
enum class Skip : std::uint8_t {
  NotStarted,     // --fail-fast after a failure, or a stop request
  NotDownloaded,  // a database row without its log yet
  ErrorRow,       // a row the downloader marked as failed
  ThreePlayer,    // a row or a log found in a directory that is a three-player game
  OutputExists,   // --skip-existing
};
inline constexpr std::size_t kSkipKinds = 5;

// "not started", "not downloaded", "marked as an error by the downloader",
// "three-player game", "output exists".
std::string_view skip_text(Skip skip) noexcept;

struct DatabaseRow {
  std::string id;     // raw bytes from the file
  std::string bytes;  // the stored log, compressed as found
};

struct Job {
  LogSource source;                             // for a row, its database as named or found
  std::optional<std::filesystem::path> target;  // none: standard output
  std::optional<DatabaseRow> row;
  // Settled before any work is done on the log: a row to pass over, or one
  // that fails as it stands (an id that is no file name, a stored log over
  // the size limit, a database that cannot be read).
  std::optional<Skip> skip;
  std::optional<std::string> refused;
};

inline Job file_job(LogSource source, std::optional<std::filesystem::path> target) {
  Job job;
  job.source = std::move(source);
  job.target = std::move(target);
  return job;
}

// The name diagnostics give the job: "-", its path, or "DATABASE:ID".
std::string job_name(const Job& job);

// How a job ended.
struct Outcome {
  enum class Status : std::uint8_t { Converted, Skipped, Failed };
  Status status = Status::Failed;
  Skip skip = Skip::NotStarted;  // when Skipped
  // When Failed: the step's one-line diagnostic without the name ("read:
  // missing field `log`", "convert: hand 5 (honba 1), seat 2: ...", "write: ...").
  std::string diagnostic;
  bool standard_output_closed = false;  // failed: nobody reads standard output any more
  std::size_t input_bytes = 0;          // the log's text, decompressed
  std::size_t events = 0;
  std::size_t hands = 0;
  std::size_t hands_searched = 0;  // hands that needed the search past the retry rule

  static Outcome converted(std::size_t input_bytes, std::size_t events, const conv::ConversionStats& stats) {
    Outcome outcome;
    outcome.status = Status::Converted;
    outcome.input_bytes = input_bytes;
    outcome.events = events;
    outcome.hands = stats.hands;
    outcome.hands_searched = stats.hands_searched;
    return outcome;
  }
  static Outcome skipped(Skip why) {
    Outcome outcome;
    outcome.status = Status::Skipped;
    outcome.skip = why;
    return outcome;
  }
  static Outcome failed(std::string diagnostic, bool standard_output_closed = false) {
    Outcome outcome;
    outcome.diagnostic = std::move(diagnostic);
    outcome.standard_output_closed = standard_output_closed;
    return outcome;
  }
};

}  // namespace kiroku::cli
