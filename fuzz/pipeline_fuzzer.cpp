// The whole conversion on any bytes: read -> prepare -> convert -> encode,
// held to the checks of check_pipeline.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "heap_peak.h"
#include "pipeline_check.h"

extern "C" const char* __asan_default_options() { return kiroku::fuzz::kAsanOptions; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kiroku::fuzz::check_pipeline(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
