// The gzip input path: any bytes inflate or are refused with a one-line
// message, never past the size limit; what inflates deflates and inflates
// back to itself, and so does the input taken as plain content.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/gzip.h"
#include "pipeline_check.h"

namespace {

// Small enough that a stream claiming a huge content is cut off quickly,
// large enough for every seed log.
constexpr std::size_t kLimit = 1 << 20;

void check_round_trip(std::string_view plain) {
  const auto packed = kiroku::cli::gzip(plain);
  if (!packed) kiroku::fuzz::fail("gzip refused its input");
  if (!kiroku::cli::has_gzip_magic(*packed)) kiroku::fuzz::fail("gzip output lacks the gzip magic number");
  // A content exactly as large as the limit does not exceed it.
  const auto unpacked = kiroku::cli::gunzip(*packed, std::max<std::size_t>(plain.size(), 1));
  if (!unpacked || *unpacked != plain) kiroku::fuzz::fail("gzip then gunzip does not give the input back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto content = kiroku::cli::gunzip(bytes, kLimit);
  if (content) {
    if (content->size() > kLimit) kiroku::fuzz::fail("gunzip went past its limit");
    check_round_trip(*content);
  } else {
    const std::string& message = content.error();
    if (message.empty() || message.find('\n') != std::string::npos) {
      kiroku::fuzz::fail("a gunzip failure is not one line");
    }
  }
  check_round_trip(bytes);
  return 0;
}
