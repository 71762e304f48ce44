// The log file input path, plain or in any codec: any bytes give a text no
// longer than the size limit or are refused, a broken stream with its codec
// and a one-line reason; what comes out compresses, piece by piece, and reads
// back to itself, and so does the input taken as plain content (when it is
// UTF-8, as every log text must be).  Memory is the run's -rss_limit_mb's to
// watch (see smoke.sh and campaign.sh): a bomb must stop at the limit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "heap_peak.h"
#include "kiroku/io/decompressor.h"
#include "kiroku/io/file_reader.h"
#include "kiroku/io/gzip.h"
#include "kiroku/io/utf8.h"
#include "pipeline_check.h"

namespace {

// Small enough that a stream claiming a huge content is cut off quickly,
// large enough for every seed log.
constexpr std::size_t kLimit = 1 << 20;

// Compresses `plain` in pieces whose sizes the text's own bytes choose, so
// that the writer meets every kind of cut.
std::string gzip_in_pieces(std::string_view plain) {
  std::string packed;
  kiroku::GzipWriter writer([&packed](std::string_view bytes) { packed.append(bytes); });
  while (!plain.empty()) {
    const std::size_t piece = std::min<std::size_t>(plain.size(), 1 + static_cast<unsigned char>(plain[0]) * 64);
    if (!writer.write(plain.substr(0, piece))) kiroku::fuzz::fail("the gzip writer refused its input");
    plain.remove_prefix(piece);
  }
  if (!writer.finish()) kiroku::fuzz::fail("the gzip writer could not finish");
  return packed;
}

void check_round_trip(std::string_view plain) {
  const std::string packed = gzip_in_pieces(plain);
  if (kiroku::codec_of(packed) != kiroku::Codec::Gzip) kiroku::fuzz::fail("gzip output lacks the gzip magic number");
  // A content exactly as large as the limit does not exceed it.
  const auto unpacked = kiroku::log_text_from_bytes(packed, std::max<std::size_t>(plain.size(), 1));
  if (kiroku::is_valid_utf8(plain)) {
    if (!unpacked || unpacked->view() != plain) kiroku::fuzz::fail("gzip then reading does not give the input back");
  } else if (unpacked || unpacked.error().kind != kiroku::LogFileError::Kind::InvalidUtf8) {
    kiroku::fuzz::fail("a compressed text that is not UTF-8 is not refused as such");
  }
}

}  // namespace

extern "C" const char* __asan_default_options() { return kiroku::fuzz::kAsanOptions; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto content = kiroku::log_text_from_bytes(bytes, kLimit);
  if (content) {
    if (content->size() > kLimit) kiroku::fuzz::fail("reading went past its limit");
    check_round_trip(content->view());
  } else {
    using Kind = kiroku::LogFileError::Kind;
    const kiroku::LogFileError& error = content.error();
    const bool names_codec = error.kind == Kind::TooLarge || error.kind == Kind::Corrupt;
    if (error.codec != (names_codec ? kiroku::codec_of(bytes) : std::nullopt)) {
      kiroku::fuzz::fail("a failure names another codec than the input's");
    }
    if (error.kind == Kind::Corrupt) {
      if (error.detail.empty() || error.detail.find('\n') != std::string::npos) {
        kiroku::fuzz::fail("a decompression failure is not one line");
      }
    }
  }
  check_round_trip(bytes);
  return 0;
}
