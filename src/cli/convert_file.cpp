#include "cli/convert_file.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "cli/archive_database.h"
#include "cli/input_files.h"
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

// A log the pipeline refuses fails, but a three-player game read out of a
// database or found in a directory is passed over.
Outcome refused(const Job& job, const PipelineError& error) {
  if (is_three_player(error) && (job.row || job.source.found_in_directory)) return Outcome::skipped(Skip::ThreePlayer);
  return Outcome::failed(describe(error));
}

// The log id Tenhou's JSON log names itself by: a row's id, or the name of a
// file such as 2019010100gm-00a9-0000-0123abcd.mjlog.gz; "" for any other
// name and for standard input.
std::string log_ref(const Job& job) {
  if (job.row) return job.row->id;
  if (job.source.standard_input) return {};
  std::string name = job.source.path.filename().native();
  name.resize(name.size() - log_extension_size(name));
  return log_id_game_type(name) ? name : std::string();
}

// The log's viewer links, one a line.
std::expected<std::string, PipelineError> viewer_link_lines(PaddedText text, std::string_view ref,
                                                            conv::ConversionStats* stats) {
  auto links = tenhou6_viewer_links(std::move(text), ref, stats);
  if (!links) return std::unexpected(std::move(links.error()));
  std::string lines;
  for (const std::string& link : *links) (lines += link) += '\n';
  return lines;
}

// The log as Tenhou's JSON log, or as its viewer links, written whole once
// the game has converted.
Outcome write_tenhou6(const Job& job, PaddedText text, const ConvertSettings& settings) {
  const std::size_t input_bytes = text.size();
  conv::ConversionStats stats;
  auto written = settings.form == OutputForm::ViewerLinks ? viewer_link_lines(std::move(text), log_ref(job), &stats)
                                                          : convert_to_tenhou6(std::move(text), log_ref(job), &stats);
  if (!written) return refused(job, written.error());
  auto output = OutputWriter::open(job.target, settings.gzip, settings.cancel_fd);
  if (!output) return failed(std::move(output.error()));
  if (auto done = output->write(*written); !done) return failed(std::move(done.error()));
  if (auto committed = output->commit(); !committed) return failed(std::move(committed.error()));
  return Outcome::converted(input_bytes, 0, stats);
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
  if (settings.form != OutputForm::Mjai) return write_tenhou6(job, std::move(log->text), settings);
  const std::size_t input_bytes = log->text.size();

  Conversion conversion(std::move(log->text));
  // Opened with the first piece, so that a log refused before its first
  // hand never touches its output.
  std::optional<OutputWriter> output;
  for (;;) {
    auto piece = conversion.next();
    if (!piece) return refused(job, piece.error());
    if (!*piece) break;
    if (!output) {
      auto opened = OutputWriter::open(job.target, settings.gzip, settings.cancel_fd);
      if (!opened) return failed(std::move(opened.error()));
      output.emplace(std::move(*opened));
    }
    if (auto written = output->write(**piece); !written) return failed(std::move(written.error()));
  }
  if (auto committed = output->commit(); !committed) return failed(std::move(committed.error()));
  return Outcome::converted(input_bytes, conversion.events(), conversion.stats());
}

}  // namespace kiroku::cli
