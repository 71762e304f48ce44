#include "cli/options.h"

#include <charconv>

namespace kiroku::cli {
namespace {

// More threads than this only add memory: the machines we run on have far
// fewer cores, and each thread holds a whole log and its events.
constexpr unsigned kMaxJobs = 1024;

constexpr std::string_view kUsage =
    "Usage: kiroku [OPTION]... FILE\n"
    "       kiroku [OPTION]... -o OUT FILE\n"
    "       kiroku [OPTION]... -o OUTDIR FILE|DIR...\n"
    "\n"
    "Convert Tenhou v6 JSON logs of four-player games into mjai event streams,\n"
    "one compact JSON event per line.\n"
    "\n"
    "With one FILE and no -o the events go to standard output; with -o OUT they\n"
    "go to the file OUT.  With several inputs, a directory among them, or an\n"
    "OUTDIR that is a directory or ends in '/', each log gets its own file below\n"
    "OUTDIR: a log found in DIR at the path DIR/a/b.json goes to OUTDIR/a/b.mjson,\n"
    "a FILE goes to OUTDIR/NAME.mjson.  Directories are searched recursively for\n"
    "*.json and *.json.gz.  Gzip input is recognised by its content, whatever its\n"
    "name.  Every output file is written whole or not at all.\n"
    "\n"
    "Options:\n"
    "  -o, --output=PATH  output file, or output directory for several logs;\n"
    "                     '-' is standard output\n"
    "  -j, --jobs=N       convert N logs at a time (default: one per core)\n"
    "      --gzip         compress the output with gzip (.mjson.gz)\n"
    "      --keep-going   convert every log even after failures (the default)\n"
    "      --fail-fast    stop at the first log that fails\n"
    "  -q, --quiet        no progress bar and no notes; failures are still shown\n"
    "      --summary      end with a line of totals on standard error\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Each log that fails is reported on standard error as 'FILE: DIAGNOSTIC' and\n"
    "leaves no output file; the other logs are still converted.\n"
    "\n"
    "Exit status: 0 when every log was converted, 1 when any failed,\n"
    "2 for a usage error.\n";

std::expected<unsigned, UsageError> parse_jobs(std::string_view text) {
  unsigned jobs = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > kMaxJobs) {
    return std::unexpected(
        UsageError{"invalid number of jobs '" + std::string(text) + "' (1 to " + std::to_string(kMaxJobs) + ")"});
  }
  return jobs;
}

}  // namespace

std::string_view usage_text() noexcept { return kUsage; }

std::expected<Options, UsageError> parse_options(std::span<const char* const> arguments) {
  Options options;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (options_ended || argument == "-" || !argument.starts_with('-')) {
      options.inputs.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }

    // An option with a value: the value attached, or the next argument.
    std::string_view name = argument;
    std::optional<std::string_view> attached;
    if (argument.starts_with("--")) {
      if (const auto equals = argument.find('='); equals != std::string_view::npos) {
        name = argument.substr(0, equals);
        attached = argument.substr(equals + 1);
      }
    } else if (argument.size() > 2) {
      name = argument.substr(0, 2);
      attached = argument.substr(2);
    }
    const bool takes_value = name == "-o" || name == "--output" || name == "-j" || name == "--jobs";
    if (attached && !takes_value) {
      if (name.starts_with("--"))
        return std::unexpected(UsageError{"option '" + std::string(name) + "' takes no value"});
      return std::unexpected(UsageError{"unknown option '" + std::string(argument) + "'"});
    }
    std::string_view value;
    if (takes_value) {
      if (attached) {
        value = *attached;
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        return std::unexpected(UsageError{"option '" + std::string(name) + "' needs a value"});
      }
      if (value.empty()) return std::unexpected(UsageError{"option '" + std::string(name) + "' needs a value"});
    }

    if (name == "-o" || name == "--output") {
      options.output = std::string(value);
    } else if (name == "-j" || name == "--jobs") {
      auto jobs = parse_jobs(value);
      if (!jobs) return std::unexpected(std::move(jobs.error()));
      options.jobs = *jobs;
    } else if (name == "--gzip") {
      options.gzip = true;
    } else if (name == "--keep-going") {
      options.fail_fast = false;
    } else if (name == "--fail-fast") {
      options.fail_fast = true;
    } else if (name == "-q" || name == "--quiet") {
      options.quiet = true;
    } else if (name == "--summary") {
      options.summary = true;
    } else if (name == "-h" || name == "--help") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else {
      return std::unexpected(UsageError{"unknown option '" + std::string(argument) + "'"});
    }
  }
  if (options.inputs.empty() && !options.help && !options.version) {
    return std::unexpected(UsageError{"no input file"});
  }
  return options;
}

}  // namespace kiroku::cli
