// The command line, parsed but not yet checked against the file system.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kiroku/io/file_reader.h"

namespace kiroku::cli {

// What each log becomes: mjai events, Tenhou's JSON log, or links that open
// each of its hands in Tenhou's viewer.
enum class OutputForm : unsigned char { Mjai, Tenhou6, ViewerLinks };

struct Options {
  std::vector<std::string> inputs;             // files, directories and "-" (standard input), in command-line order
  std::optional<std::string> output;           // -o: a file, a directory, or "-" for standard output
  unsigned jobs = 0;                           // -j; 0 means one per core
  std::size_t max_size = kDefaultMaxLogBytes;  // --max-size: the longest log text taken, decompressed
  std::size_t memory = 0;                      // --memory: what the running jobs hold together; 0: the default
  std::optional<std::string> sql;              // --sql: the SELECT of (id, log) every database input is read by
  std::optional<std::string> suffix;           // --suffix: what outputs end with instead of ".mjson" (".mjson.gz")
  std::optional<std::string> manifest;         // --manifest: the file of one JSON line per log
  OutputForm form = OutputForm::Mjai;          // --to, --viewer-links
  bool by_month = false;                       // --by-month: a row's output below YYYY/MM/
  bool skip_existing = false;                  // --skip-existing: a log whose output exists is passed over
  bool gzip = false;
  bool fail_fast = false;  // --fail-fast; --keep-going (the default) clears it
  bool quiet = false;
  bool summary = false;
  bool help = false;
  bool version = false;
};

struct UsageError {
  std::string message;       // "unknown option '--fast'"
  bool suggest_help = true;  // the command line itself was wrong, so --help may help
};

// `arguments` without the program name.  Options and inputs may be mixed;
// "--" ends the options.  Short options take their value attached or as the
// next argument (-j4, -j 4), long ones after "=" or as the next argument.
// Without --help or --version at least one input is required.  "-" is an
// input (standard input) even after "--".
[[nodiscard]] std::expected<Options, UsageError> parse_options(std::span<const char* const> arguments);

// The text of --help.
std::string_view usage_text() noexcept;

}  // namespace kiroku::cli
