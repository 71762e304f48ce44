#include "cli/convert_file.h"

#include <optional>
#include <utility>

#include "cli/log_reader.h"
#include "cli/output_writer.h"
#include "kiroku/pipeline.h"

namespace kiroku::cli {
namespace {

std::unexpected<ConvertFailure> failed(WriteFailure failure) {
  return std::unexpected(ConvertFailure{std::move(failure.diagnostic), failure.standard_output_closed});
}

}  // namespace

std::expected<Converted, ConvertFailure> convert_file(const Job& job, const ConvertSettings& settings,
                                                      MemoryBudget& budget) {
  auto log = read_log(job.source, settings.max_bytes, settings.cancel_fd, budget);
  if (!log) return std::unexpected(ConvertFailure{std::move(log.error())});
  const std::size_t input_bytes = log->text.size();

  Conversion conversion(std::move(log->text));
  // Opened with the first piece, so that a log refused before its first
  // hand never touches its output.
  std::optional<OutputWriter> output;
  for (;;) {
    auto piece = conversion.next();
    if (!piece) return std::unexpected(ConvertFailure{describe(piece.error())});
    if (!*piece) break;
    if (!output) {
      auto opened = OutputWriter::open(job.target, settings.gzip, settings.cancel_fd);
      if (!opened) return failed(std::move(opened.error()));
      output.emplace(std::move(*opened));
    }
    if (auto written = output->write(**piece); !written) return failed(std::move(written.error()));
  }
  if (auto committed = output->commit(); !committed) return failed(std::move(committed.error()));
  return Converted{input_bytes, conversion.events(), conversion.stats().hands_searched};
}

}  // namespace kiroku::cli
