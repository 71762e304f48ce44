// The whole conversion on logs mutated as logs (log_mutator.h): most mutants
// still read, so the converter's walk, retries and search see far more of
// them than byte-level mutations of the same seeds would give.  Inputs that
// are not logs get libFuzzer's own mutations.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "heap_peak.h"
#include "json_tree.h"
#include "log_mutator.h"
#include "pipeline_check.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

std::string_view view(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Writes `text` over the input when it fits; the size written, or 0.
std::size_t replace_input(const std::string& text, std::uint8_t* data, std::size_t max_size) {
  if (text.size() > max_size) return 0;
  std::memcpy(data, text.data(), text.size());
  return text.size();
}

}  // namespace

extern "C" const char* __asan_default_options() { return kiroku::fuzz::kAsanOptions; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kiroku::fuzz::check_pipeline(view(data, size));
  return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned int seed) {
  kiroku::fuzz::Random random(seed);
  auto document = kiroku::fuzz::parse_json(view(data, size));
  if (!document || !kiroku::fuzz::mutate_log(*document, random)) return LLVMFuzzerMutate(data, size, max_size);
  const std::size_t written = replace_input(kiroku::fuzz::write_json(*document), data, max_size);
  if (written == 0) return LLVMFuzzerMutate(data, size, max_size);
  // Now and then a byte-level change on top, for what no log-shaped
  // mutation writes (broken escapes, stray bytes inside a structure).
  if (random.percent(5)) return LLVMFuzzerMutate(data, written, max_size);
  return written;
}

extern "C" std::size_t LLVMFuzzerCustomCrossOver(const std::uint8_t* data1, std::size_t size1,
                                                 const std::uint8_t* data2, std::size_t size2, std::uint8_t* out,
                                                 std::size_t max_out_size, unsigned int seed) {
  kiroku::fuzz::Random random(seed);
  auto document = kiroku::fuzz::parse_json(view(data1, size1));
  const auto donor = kiroku::fuzz::parse_json(view(data2, size2));
  if (!document || !donor || !kiroku::fuzz::cross_over_logs(*document, *donor, random)) return 0;
  return replace_input(kiroku::fuzz::write_json(*document), out, max_out_size);
}
