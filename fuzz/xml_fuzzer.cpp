// The XML reader alone: any bytes either read or are refused with a message,
// and reading two copies of one text (it is parsed in place) gives the same
// log or the same message.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kiroku/read/xml_log_reader.h"
#include "pipeline_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kiroku::PaddedText text = kiroku::PaddedText::copy_of(bytes);
  kiroku::PaddedText text_again = kiroku::PaddedText::copy_of(bytes);
  const auto first = kiroku::read_play_log(text);
  const auto again = kiroku::read_play_log(text_again);
  if (first.has_value() != again.has_value()) kiroku::fuzz::fail("a second read of one text succeeds differently");
  if (first) {
    if (*first != *again) kiroku::fuzz::fail("a second read of one text gives another log");
  } else {
    if (first.error().message.empty()) kiroku::fuzz::fail("a refused text has an empty message");
    if (first.error().message != again.error().message)
      kiroku::fuzz::fail("a second read refuses with another message");
  }
  return 0;
}
