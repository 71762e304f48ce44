// The XML reader alone: any bytes either read or are refused with a message,
// and reading two copies of one text (it is parsed in place) gives the same
// log or the same message.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kiroku/read/xml_reader.h"
#include "pipeline_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kiroku::PaddedText text = kiroku::PaddedText::copy_of(bytes);
  kiroku::PaddedText text_again = kiroku::PaddedText::copy_of(bytes);
  const auto first = kiroku::read_xml_log(text);
  const auto again = kiroku::read_xml_log(text_again);
  kiroku::fuzz::check_same_read(first, again);
  return 0;
}
