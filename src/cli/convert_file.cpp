#include "cli/convert_file.h"

#include <string_view>

#include "cli/input_files.h"
#include "cli/output_files.h"
#include "kiroku/io/gzip.h"
#include "kiroku/pipeline.h"

namespace kiroku::cli {

std::expected<Converted, ConvertFailure> convert_file(const Job& job, const ConvertSettings& settings) {
  auto text = read_log(job.source, settings.max_bytes, settings.cancel_fd);
  if (!text) return std::unexpected(ConvertFailure{std::move(text.error())});

  const std::size_t input_bytes = text->size();
  conv::ConversionStats stats;
  auto encoded = convert_text(std::move(*text), &stats);
  if (!encoded) return std::unexpected(ConvertFailure{describe(encoded.error())});

  std::string compressed;
  std::string_view bytes = encoded->lines();
  if (settings.gzip) {
    auto packed = kiroku::gzip(bytes);
    if (!packed) return std::unexpected(ConvertFailure{"gzip: " + packed.error()});
    compressed = std::move(*packed);
    bytes = compressed;
  }
  auto written = job.target ? write_output_file(*job.target, bytes, settings.cancel_fd)
                            : write_standard_output(bytes, settings.cancel_fd);
  if (!written) {
    return std::unexpected(
        ConvertFailure{std::move(written.error().diagnostic), written.error().standard_output_closed});
  }
  return Converted{input_bytes, encoded->size(), stats.hands_searched};
}

}  // namespace kiroku::cli
