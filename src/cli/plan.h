// Which log goes where: the command line turned into a list of jobs.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/failure.h"
#include "cli/input_files.h"
#include "cli/job.h"
#include "cli/options.h"

namespace kiroku::cli {

struct Plan {
  std::vector<Job> jobs;  // the log files
  // The log databases, each read once, their rows' outputs named below
  // `output_directory` (output_names.h).
  std::vector<LogSource> databases;
  std::filesystem::path output_directory;
  std::string suffix;  // what every output ends with
  // Inputs that are missing or cannot be listed, and logs whose output path
  // another log of the same run already has; they count as failed logs.  (A
  // file found twice for the same output is one job, and the same failure
  // or note for the same name is told once.)
  std::vector<Failure> failures;
  // FIFOs, devices and sockets found in directories, passed over with a note.
  std::vector<Failure> passed_over;
  bool batch = false;  // one output file per log below an output directory
};

// One FILE without -o (or with "-o -") goes to standard output; one FILE
// with -o OUT goes to the file OUT; anything else, a database among them, is
// a batch into the output directory, which then must be given, and which
// standard input cannot join.
// Fails (a usage error) for those, and when an output, standard output
// included, is the same regular file as an input (same device and inode,
// whatever the links between their names), or when the output directory or
// the manifest is an input: then nothing may be written at all.
[[nodiscard]] std::expected<Plan, UsageError> make_plan(const Options& options);

}  // namespace kiroku::cli
