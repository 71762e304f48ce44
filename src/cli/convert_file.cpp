#include "cli/convert_file.h"

#include <string_view>

#include "cli/input_files.h"
#include "cli/output_files.h"
#include "kiroku/io/gzip.h"
#include "kiroku/pipeline.h"

namespace kiroku::cli {

std::expected<Converted, std::string> convert_file(const Job& job, bool gzip) {
  auto text = read_log_file(job.source);
  if (!text) return std::unexpected(std::move(text.error()));

  conv::ConversionStats stats;
  auto encoded = convert_text(*text, &stats);
  if (!encoded) return std::unexpected(describe(encoded.error()));

  std::string compressed;
  std::string_view bytes = encoded->lines();
  if (gzip) {
    auto packed = kiroku::gzip(bytes);
    if (!packed) return std::unexpected("gzip: " + packed.error());
    compressed = std::move(*packed);
    bytes = compressed;
  }
  auto written = job.target ? write_file_atomically(*job.target, bytes) : write_standard_output(bytes);
  if (!written) return std::unexpected(std::move(written.error()));
  return Converted{text->size(), encoded->size(), stats.hands_searched};
}

}  // namespace kiroku::cli
