#include "cli/plan.h"

#include <sys/stat.h>
#include <unistd.h>  // STDIN_FILENO, STDOUT_FILENO

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include "cli/display.h"
#include "cli/output_files.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

bool is_directory(const std::string& path) {
  std::error_code ignored;  // a missing path is not a directory; reading it reports the failure later
  return fs::is_directory(path, ignored);
}

bool names_directory(const std::string& output) { return output.ends_with('/') || is_directory(output); }

using FileId = std::pair<dev_t, ino_t>;

struct FileIdentity {
  FileId id;
  bool regular = false;
};

// The file behind a source or a target, links followed; none when it does
// not exist (yet).
std::optional<FileIdentity> identity(int result, const struct stat& info) {
  if (result != 0) return std::nullopt;
  return FileIdentity{{info.st_dev, info.st_ino}, S_ISREG(info.st_mode)};
}

std::optional<FileIdentity> identity(const LogSource& source) {
  struct stat info{};
  return identity(source.standard_input ? ::fstat(STDIN_FILENO, &info) : ::stat(source.path.c_str(), &info), info);
}

// Only a regular file can be harmed by reading and writing it at once; a
// stream cannot (a terminal for standard input and output, say).
std::optional<FileId> regular_file_id(const std::optional<FileIdentity>& identity) {
  if (!identity || !identity->regular) return std::nullopt;
  return identity->id;
}

std::optional<FileId> file_id(const LogSource& source) { return regular_file_id(identity(source)); }

bool same_file(const LogSource& a, const LogSource& b) {
  const auto first = identity(a);
  const auto second = identity(b);
  return first && second && first->id == second->id;
}

std::optional<FileId> file_id(const std::optional<fs::path>& target) {
  struct stat info{};
  return regular_file_id(identity(target ? ::stat(target->c_str(), &info) : ::fstat(STDOUT_FILENO, &info), info));
}

// Keeps the first of each failure or note told twice in the same words for
// the same name: an argument given twice, a directory walked twice.
void drop_repeats(std::vector<Failure>& failures) {
  std::set<std::pair<std::string, std::string>> seen;
  std::erase_if(failures,
                [&](const Failure& failure) { return !seen.emplace(failure.file, failure.diagnostic).second; });
}

// Refuses the first output (a job's target, none for standard output) that
// would overwrite one of `sources`.
std::expected<void, UsageError> refuse_outputs_that_are_inputs(const std::vector<LogSource>& sources,
                                                               const std::vector<std::optional<fs::path>>& outputs) {
  std::map<FileId, const LogSource*> inputs;
  for (const LogSource& source : sources) {
    if (const auto id = file_id(source)) inputs.try_emplace(*id, &source);
  }
  for (const std::optional<fs::path>& target : outputs) {
    const auto id = file_id(target);
    if (!id) continue;
    const auto input = inputs.find(*id);
    if (input == inputs.end()) continue;
    const std::string output = target ? shown_quoted(target->native()) : std::string("standard output");
    return std::unexpected(UsageError{"output " + output + " is the same file as input " +
                                          shown_quoted(source_name(*input->second)) + "; nothing was converted",
                                      false});
  }
  return {};
}

std::vector<std::optional<fs::path>> targets_of(const std::vector<Job>& jobs) {
  std::vector<std::optional<fs::path>> targets;
  targets.reserve(jobs.size());
  for (const Job& job : jobs) targets.push_back(job.target);
  return targets;
}

// Each database once, however often it is named or found (one that cannot
// be looked at is kept, to fail when it is opened).
std::vector<LogSource> distinct_files(std::vector<LogSource> sources) {
  std::set<FileId> seen;
  std::vector<LogSource> distinct;
  for (LogSource& source : sources) {
    const auto found = identity(source);
    if (found && !seen.insert(found->id).second) continue;
    distinct.push_back(std::move(source));
  }
  return distinct;
}

}  // namespace

std::expected<Plan, UsageError> make_plan(const Options& options) {
  Plan plan;
  plan.suffix = options.suffix.value_or(default_output_suffix(options.form, options.gzip));
  bool any_directory = false;
  for (const std::string& input : options.inputs) any_directory = any_directory || is_directory(input);
  plan.batch = options.inputs.size() > 1 || any_directory || (options.output && names_directory(*options.output)) ||
               (options.inputs.front() != "-" && is_database_file(options.inputs.front()));
  std::vector<std::optional<fs::path>> manifest;
  if (options.manifest) manifest.emplace_back(fs::path(*options.manifest));

  if (!plan.batch) {
    // A single file is read even if missing, so that the failure names it
    // with the reason like any other log's.
    std::optional<fs::path> target;
    if (options.output && *options.output != "-") target = fs::path(*options.output);
    const std::string& input = options.inputs.front();
    LogSource source = input == "-" ? LogSource{fs::path(), true, false} : LogSource{fs::path(input), false, false};
    plan.jobs.push_back(file_job(source, std::move(target)));
    auto outputs = targets_of(plan.jobs);
    outputs.insert(outputs.end(), manifest.begin(), manifest.end());
    if (auto refused = refuse_outputs_that_are_inputs({source}, outputs); !refused) {
      return std::unexpected(std::move(refused.error()));
    }
    return plan;
  }
  if (options.form == OutputForm::ViewerLinks) {
    return std::unexpected(UsageError{"--viewer-links prints the links of one log: give one FILE"});
  }
  if (!options.output || *options.output == "-") {
    return std::unexpected(UsageError{options.inputs.size() == 1 && !any_directory
                                          ? "a log database needs an output directory (-o OUTDIR)"
                                          : "several logs need an output directory (-o OUTDIR)"});
  }
  if (std::ranges::find(options.inputs, "-") != options.inputs.end()) {
    return std::unexpected(UsageError{"standard input ('-') can only be the one input, not part of a batch"});
  }

  InputList inputs = collect_inputs(options.inputs);
  plan.failures = std::move(inputs.failures);
  plan.passed_over = std::move(inputs.passed_over);
  drop_repeats(plan.passed_over);
  const fs::path directory(*options.output);
  plan.output_directory = directory;
  plan.databases = distinct_files(std::move(inputs.databases));
  std::map<fs::path, const LogSource*> owners;  // output path -> the log that has it
  plan.jobs.reserve(inputs.files.size());
  for (InputFile& file : inputs.files) {
    fs::path target = (directory / output_relative_path(file.relative, plan.suffix)).lexically_normal();
    const auto [owner, inserted] = owners.try_emplace(target, &file.source);
    if (!inserted) {
      // The same file for the same output, named twice or found through a
      // directory given twice, is converted once.
      if (same_file(*owner->second, file.source)) continue;
      plan.failures.push_back(
          {file.source.path.native(),
           "output " + shown(target.native()) + " is also the output of " + shown(owner->second->path.native())});
      continue;
    }
    plan.jobs.push_back(file_job(file.source, std::move(target)));
  }
  // Every log found counts, even one whose output another log has.
  std::vector<LogSource> sources = plan.databases;
  sources.reserve(inputs.files.size() + plan.databases.size());
  for (const InputFile& file : inputs.files) sources.push_back(file.source);
  auto outputs = targets_of(plan.jobs);
  outputs.insert(outputs.end(), manifest.begin(), manifest.end());
  outputs.emplace_back(directory);  // a database given as -o
  if (auto refused = refuse_outputs_that_are_inputs(sources, outputs); !refused) {
    return std::unexpected(std::move(refused.error()));
  }
  drop_repeats(plan.failures);
  return plan;
}

}  // namespace kiroku::cli
