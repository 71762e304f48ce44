// The JSON reader alone: any bytes either read or are refused with a message,
// and reading the same text twice gives the same log or the same message.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "heap_peak.h"
#include "kiroku/read/json_reader.h"
#include "pipeline_check.h"

extern "C" const char* __asan_default_options() { return kiroku::fuzz::kAsanOptions; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = kiroku::PaddedText::copy_of(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto first = kiroku::read_json_log(text);
  const auto again = kiroku::read_json_log(text);
  kiroku::fuzz::check_same_read(first, again);
  return 0;
}
