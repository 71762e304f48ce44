#include "cli/convert_file.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "cli/log_reader.h"
#include "cli/output_writer.h"
#include "kiroku/pipeline.h"

namespace kiroku::cli {
namespace {

Outcome failed(WriteFailure failure) {
  return Outcome::failed(std::move(failure.diagnostic), failure.standard_output_closed);
}

bool output_exists(const std::filesystem::path& path) {
  struct stat info{};
  return ::lstat(path.c_str(), &info) == 0;
}

bool is_three_player(const PipelineError& error) {
  const auto* prepare = std::get_if<PrepareError>(&error.detail);
  return prepare != nullptr && *prepare == PrepareError::ThreePlayerGame;
}

}  // namespace

Outcome convert_job(Job& job, const ConvertSettings& settings, MemoryBudget& budget) {
  if (job.skip) return Outcome::skipped(*job.skip);
  if (job.refused) return Outcome::failed(*job.refused);
  if (settings.skip_existing && job.target && output_exists(*job.target)) return Outcome::skipped(Skip::OutputExists);

  auto log = job.row ? read_stored_log(job.row->bytes, settings.max_bytes, budget)
                     : read_log(job.source, settings.max_bytes, settings.cancel_fd, budget);
  if (job.row) std::string().swap(job.row->bytes);
  if (!log) return Outcome::failed(std::move(log.error()));
  const std::size_t input_bytes = log->text.size();

  Conversion conversion(std::move(log->text));
  // Opened with the first piece, so that a log refused before its first
  // hand never touches its output.
  std::optional<OutputWriter> output;
  for (;;) {
    auto piece = conversion.next();
    if (!piece) {
      if (is_three_player(piece.error()) && (job.row || job.source.found_in_directory)) {
        return Outcome::skipped(Skip::ThreePlayer);
      }
      return Outcome::failed(describe(piece.error()));
    }
    if (!*piece) break;
    if (!output) {
      auto opened = OutputWriter::open(job.target, settings.gzip, settings.cancel_fd);
      if (!opened) return failed(std::move(opened.error()));
      output.emplace(std::move(*opened));
    }
    if (auto written = output->write(**piece); !written) return failed(std::move(written.error()));
  }
  if (auto committed = output->commit(); !committed) return failed(std::move(committed.error()));
  const conv::ConversionStats& stats = conversion.stats();
  Outcome converted;
  converted.status = Outcome::Status::Converted;
  converted.input_bytes = input_bytes;
  converted.events = conversion.events();
  converted.hands = stats.hands;
  converted.hands_searched = stats.hands_searched;
  return converted;
}

}  // namespace kiroku::cli
