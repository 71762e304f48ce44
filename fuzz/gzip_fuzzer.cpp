// The log file input path, gzip or plain: any bytes give a text no longer
// than the size limit or are refused, a broken gzip stream with a one-line
// reason; what comes out deflates and reads back to itself, and so does the
// input taken as plain content (when it is UTF-8, as every log text must be).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "kiroku/io/file_reader.h"
#include "kiroku/io/gzip.h"
#include "kiroku/io/utf8.h"
#include "pipeline_check.h"

namespace {

// Small enough that a stream claiming a huge content is cut off quickly,
// large enough for every seed log.
constexpr std::size_t kLimit = 1 << 20;

void check_round_trip(std::string_view plain) {
  const auto packed = kiroku::gzip(plain);
  if (!packed) kiroku::fuzz::fail("gzip refused its input");
  if (!kiroku::has_gzip_magic(*packed)) kiroku::fuzz::fail("gzip output lacks the gzip magic number");
  // A content exactly as large as the limit does not exceed it.
  const auto unpacked = kiroku::log_text_from_bytes(*packed, std::max<std::size_t>(plain.size(), 1));
  if (kiroku::is_valid_utf8(plain)) {
    if (!unpacked || unpacked->view() != plain) kiroku::fuzz::fail("gzip then reading does not give the input back");
  } else if (unpacked || unpacked.error().kind != kiroku::LogFileError::Kind::InvalidUtf8) {
    kiroku::fuzz::fail("a compressed text that is not UTF-8 is not refused as such");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto content = kiroku::log_text_from_bytes(bytes, kLimit);
  if (content) {
    if (content->size() > kLimit) kiroku::fuzz::fail("reading went past its limit");
    check_round_trip(content->view());
  } else if (content.error().kind == kiroku::LogFileError::Kind::Gzip) {
    const std::string& reason = content.error().detail;
    if (reason.empty() || reason.find('\n') != std::string::npos) {
      kiroku::fuzz::fail("a gzip failure is not one line");
    }
  }
  check_round_trip(bytes);
  return 0;
}
