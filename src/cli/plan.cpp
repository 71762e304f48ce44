#include "cli/plan.h"

#include <map>
#include <system_error>

#include "cli/input_files.h"
#include "cli/output_files.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

bool is_directory(const std::string& path) {
  std::error_code ignored;  // a missing path is not a directory; reading it reports the failure later
  return fs::is_directory(path, ignored);
}

bool names_directory(const std::string& output) { return output.ends_with('/') || is_directory(output); }

}  // namespace

std::expected<Plan, UsageError> make_plan(const Options& options) {
  Plan plan;
  bool any_directory = false;
  for (const std::string& input : options.inputs) any_directory = any_directory || is_directory(input);
  plan.batch = options.inputs.size() > 1 || any_directory || (options.output && names_directory(*options.output));

  if (!plan.batch) {
    // A single file is read even if missing, so that the failure names it
    // with the reason like any other log's.
    std::optional<fs::path> target;
    if (options.output && *options.output != "-") target = fs::path(*options.output);
    plan.jobs.push_back({fs::path(options.inputs.front()), std::move(target)});
    return plan;
  }
  if (!options.output || *options.output == "-") {
    return std::unexpected(UsageError{"several logs need an output directory (-o OUTDIR)"});
  }

  InputList inputs = collect_inputs(options.inputs);
  plan.failures = std::move(inputs.failures);
  const fs::path directory(*options.output);
  std::map<fs::path, fs::path> owners;  // output path -> the log that has it
  plan.jobs.reserve(inputs.files.size());
  for (InputFile& file : inputs.files) {
    fs::path target = (directory / output_relative_path(file.relative, options.gzip)).lexically_normal();
    const auto [owner, inserted] = owners.try_emplace(target, file.path);
    if (!inserted) {
      plan.failures.push_back(
          {file.path.native(), "output " + target.native() + " is also the output of " + owner->second.native()});
      continue;
    }
    plan.jobs.push_back({std::move(file.path), std::move(target)});
  }
  return plan;
}

}  // namespace kiroku::cli
