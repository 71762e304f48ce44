// Which log goes where: the command line turned into a list of jobs.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/failure.h"
#include "cli/options.h"

namespace kiroku::cli {

struct Job {
  std::filesystem::path source;
  std::optional<std::filesystem::path> target;  // none: standard output
};

struct Plan {
  std::vector<Job> jobs;
  // Inputs that are missing or cannot be listed, and logs whose output path
  // another log of the same run already has; they count as failed logs.
  std::vector<Failure> failures;
  bool batch = false;  // one output file per log below an output directory
};

// One FILE without -o (or with "-o -") goes to standard output; one FILE
// with -o OUT goes to the file OUT; anything else is a batch into the output
// directory, which then must be given.  Fails (a usage error) only for a
// batch without -o.
[[nodiscard]] std::expected<Plan, UsageError> make_plan(const Options& options);

}  // namespace kiroku::cli
