#include "cli/options.h"

#include <charconv>

#include "cli/display.h"

namespace kiroku::cli {
namespace {

// More threads than this only add waiting: the machines we run on have far
// fewer cores, and the memory budget holds back jobs beyond what it fits.
constexpr unsigned kMaxJobs = 1024;

// An output name's ending; the id or name before it is at most 200 bytes.
constexpr std::size_t kMaxSuffixBytes = 32;

constexpr std::string_view kUsage =
    "Usage: kiroku [OPTION]... FILE\n"
    "       kiroku [OPTION]... -o OUT FILE\n"
    "       kiroku [OPTION]... -o OUTDIR FILE|DIR...\n"
    "\n"
    "Convert Tenhou logs of four-player games (v6 JSON, or the XML of .mjlog\n"
    "files) into mjai event streams, one compact JSON event per line.\n"
    "\n"
    "With one FILE and no -o the events go to standard output; with -o OUT they\n"
    "go to the file OUT.  With several inputs, a directory among them, or an\n"
    "OUTDIR that is a directory or ends in '/', each log gets its own file below\n"
    "OUTDIR: a log found in DIR at the path DIR/a/b.json goes to OUTDIR/a/b.mjson,\n"
    "a FILE goes to OUTDIR/NAME.mjson.\n"
    "\n"
    "Inputs.  A FILE of '-' is standard input (name a file called '-' as './-').\n"
    "A FILE may be a FIFO or a device: it is read as a stream.  Directories are\n"
    "searched recursively for *.json, *.mjlog and *.xml, compressed or not (.gz,\n"
    ".bz2, .lz4, .zst, .xz), and for log databases (*.db, *.sqlite, *.sqlite3);\n"
    "only regular files are taken there: FIFOs, devices and sockets are skipped\n"
    "with a note.  x.json, x.mjlog and x.xml all become x.mjson.  Compression\n"
    "(gzip, bzip2, LZ4, zstd, xz) is recognised by its content, whatever the\n"
    "name.  A log whose text (after decompression) is longer than the size\n"
    "limit, 1 GiB unless --max-size says otherwise, fails alone.  A file named\n"
    "twice, or found twice through directories, is converted once.\n"
    "\n"
    "Log databases.  A FILE that is an SQLite database (the downloaders' archives\n"
    "of Tenhou's XML logs) holds one log a row: every row is converted into\n"
    "OUTDIR/ID.mjson (with --by-month, OUTDIR/YYYY/MM/ID.mjson from the id), and\n"
    "named in diagnostics as DATABASE:ID.  The known layouts are recognised by\n"
    "their tables and columns; --sql gives the rows of any other.  The database is\n"
    "only read, never locked against a downloader still writing it.  A row not\n"
    "downloaded, marked as an error, or of a three-player game is skipped, as is\n"
    "a three-player game found in a directory; skips are counted, not failures.\n"
    "An id that is not a plain file name (ASCII letters, digits, '.', '_' and\n"
    "'-', at most 200 bytes, not starting with '.') fails its row.\n"
    "\n"
    "Memory.  The logs being converted hold their texts together within a\n"
    "budget, half of the machine's memory (or of its control group's limit)\n"
    "unless --memory says otherwise: each holds 64 MiB, a larger text waits\n"
    "for room, and a text larger than the whole budget fails alone.  The output\n"
    "is written a hand at a time, never held whole.\n"
    "\n"
    "Outputs.  Every output file is written whole or not at all: into an\n"
    "unnamed file (or, where the file system has none, a hidden .kiroku-*.tmp\n"
    "file) beside it, then moved into place; missing directories are made,\n"
    "however deep.  A file that existed keeps its mode; a symbolic link keeps\n"
    "pointing where it did, and the file it points to is replaced.  Standard\n"
    "output and an OUT that exists but is not a regular file (a FIFO, a device)\n"
    "are written once the log has converted.  An output that is the same file as an\n"
    "input is refused before anything is written.\n"
    "\n"
    "Options:\n"
    "  -o, --output=PATH     output file, or output directory for several logs;\n"
    "                        '-' is standard output\n"
    "  -j, --jobs=N          convert N logs at a time (default: one per core)\n"
    "      --max-size=SIZE   refuse logs longer than SIZE bytes; K, M, G and T\n"
    "                        mean KiB, MiB, GiB and TiB (default: 1G)\n"
    "      --memory=SIZE     what the logs being converted hold together, as\n"
    "                        for --max-size (default: half of the memory)\n"
    "      --to=FORMAT       write mjai events (mjai, the default) or Tenhou's JSON\n"
    "                        log (tenhou6: x.mjlog becomes x.json)\n"
    "      --viewer-links    print, for one log, a https://tenhou.net/6/#json=...\n"
    "                        link per hand instead of a file\n"
    "      --gzip            compress the output with gzip (.mjson.gz), one member\n"
    "      --suffix=SUFFIX   end the output files' names with SUFFIX instead\n"
    "                        (e.g. --gzip --suffix .json.gz)\n"
    "      --sql=QUERY       read the rows of each database with QUERY, a SELECT\n"
    "                        of two columns: id and stored log\n"
    "      --by-month        put a row's output under OUTDIR/YYYY/MM/\n"
    "      --skip-existing   leave logs whose output exists untouched (resumes an\n"
    "                        interrupted run)\n"
    "      --manifest=FILE   write one JSON line per log: source, output, status,\n"
    "                        reason, events, hands (whole or not at all)\n"
    "      --keep-going      convert every log even after failures (the default)\n"
    "      --fail-fast       stop at the first log that fails\n"
    "  -q, --quiet           no progress bar and no notes; failures are still shown\n"
    "      --summary         end with a line of totals on standard error\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n"
    "\n"
    "Each log that fails is reported on standard error as 'FILE: DIAGNOSTIC' and\n"
    "leaves no output file; the other logs are still converted.  A FILE holding\n"
    "control characters, bytes outside UTF-8, a quote, a backslash or ': ' is\n"
    "shown in double quotes with C-style escapes, so every diagnostic is one line.\n"
    "\n"
    "Signals.  The first SIGINT, SIGTERM or SIGHUP stops the run: no new log is\n"
    "started, the logs being written are finished (a wait on a FIFO or a device\n"
    "is given up), and kiroku then ends by that signal.  A second one, or\n"
    "SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2 and the like, ends it at once.  A closed\n"
    "standard error or standard output stops the run as SIGPIPE would.  In every\n"
    "case no temporary file is left behind.\n"
    "\n"
    "Exit status: 0 when every log was converted or skipped, 1 when any failed,\n"
    "2 for a usage error or an output that is also an input.\n";

std::expected<unsigned, UsageError> parse_jobs(std::string_view text) {
  unsigned jobs = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > kMaxJobs) {
    return std::unexpected(
        UsageError{"invalid number of jobs " + shown_quoted(text) + " (1 to " + std::to_string(kMaxJobs) + ")"});
  }
  return jobs;
}

// "4096", "64K", "512MiB", "1G": a number of bytes, or of KiB, MiB, GiB or
// TiB, from one byte to kLargestMaxLogBytes.
std::expected<std::size_t, UsageError> parse_size(std::string_view text) {
  const auto refused = [&] {
    return std::unexpected(UsageError{"invalid size " + shown_quoted(text) + " (1 to " +
                                      size_text(kLargestMaxLogBytes) + "; suffixes K, M, G, T)"});
  };
  std::size_t count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (error != std::errc() || end == text.data()) return refused();
  std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
  unsigned shift = 0;
  if (!suffix.empty()) {
    constexpr std::string_view kUnits = "KMGT";
    const std::size_t unit = kUnits.find(static_cast<char>(suffix.front() & ~0x20));  // either case
    if (unit == std::string_view::npos) return refused();
    shift = 10 * static_cast<unsigned>(unit + 1);
    suffix.remove_prefix(1);
    if (!suffix.empty() && suffix != "iB") return refused();
  }
  if (count == 0 || count > kLargestMaxLogBytes >> shift) return refused();
  return count << shift;
}

// The long options without a value, so that "--gzip=yes" is told apart from
// an option that does not exist.
bool is_known(std::string_view name) {
  for (const std::string_view known : {"--gzip", "--viewer-links", "--by-month", "--skip-existing", "--keep-going",
                                       "--fail-fast", "--quiet", "--summary", "--help", "--version"}) {
    if (name == known) return true;
  }
  return false;
}

}  // namespace

std::string_view usage_text() noexcept { return kUsage; }

std::expected<Options, UsageError> parse_options(std::span<const char* const> arguments) {
  Options options;
  bool options_ended = false;
  std::optional<std::string_view> to;  // --to as given
  bool viewer_links = false;
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
    const bool takes_value = name == "-o" || name == "--output" || name == "-j" || name == "--jobs" ||
                             name == "--max-size" || name == "--memory" || name == "--sql" || name == "--suffix" ||
                             name == "--manifest" || name == "--to";
    if (attached && !takes_value) {
      if (name.starts_with("--") && is_known(name))
        return std::unexpected(UsageError{"option " + shown_quoted(name) + " takes no value"});
      return std::unexpected(UsageError{"unknown option " + shown_quoted(argument)});
    }
    std::string_view value;
    if (takes_value) {
      if (attached) {
        value = *attached;
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        return std::unexpected(UsageError{"option " + shown_quoted(name) + " needs a value"});
      }
      if (value.empty()) return std::unexpected(UsageError{"option " + shown_quoted(name) + " needs a value"});
    }

    if (name == "-o" || name == "--output") {
      options.output = std::string(value);
    } else if (name == "-j" || name == "--jobs") {
      auto jobs = parse_jobs(value);
      if (!jobs) return std::unexpected(std::move(jobs.error()));
      options.jobs = *jobs;
    } else if (name == "--max-size" || name == "--memory") {
      auto size = parse_size(value);
      if (!size) return std::unexpected(std::move(size.error()));
      (name == "--memory" ? options.memory : options.max_size) = *size;
    } else if (name == "--sql") {
      options.sql = std::string(value);
    } else if (name == "--suffix") {
      if (value.find('/') != std::string_view::npos || value.find('\0') != std::string_view::npos ||
          value.size() > kMaxSuffixBytes) {
        return std::unexpected(UsageError{"invalid suffix " + shown_quoted(value) + " (at most " +
                                          std::to_string(kMaxSuffixBytes) + " bytes, no '/')"});
      }
      options.suffix = std::string(value);
    } else if (name == "--manifest") {
      options.manifest = std::string(value);
    } else if (name == "--to") {
      if (value != "mjai" && value != "tenhou6") {
        return std::unexpected(UsageError{"invalid output format " + shown_quoted(value) + " (mjai or tenhou6)"});
      }
      to = value;
    } else if (name == "--viewer-links") {
      viewer_links = true;
    } else if (name == "--by-month") {
      options.by_month = true;
    } else if (name == "--skip-existing") {
      options.skip_existing = true;
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
      return std::unexpected(UsageError{"unknown option " + shown_quoted(argument)});
    }
  }
  if (options.inputs.empty() && !options.help && !options.version) {
    return std::unexpected(UsageError{"no input file"});
  }
  if (viewer_links && to == "mjai") {
    return std::unexpected(UsageError{"--viewer-links opens Tenhou's JSON log: it cannot go with --to mjai"});
  }
  if (to == "tenhou6") options.form = OutputForm::Tenhou6;
  if (viewer_links) options.form = OutputForm::ViewerLinks;
  return options;
}

}  // namespace kiroku::cli
