// The XML reader alone: any bytes either read or are refused with a message,
// and the direct reading of the form Tenhou writes gives the same game and
// hands, or the same message, as the conforming parser alone.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string_view>
#include <utility>
#include <vector>

#include "heap_peak.h"
#include "kiroku/read/xml_reader.h"
#include "pipeline_check.h"

namespace {

struct ReadLog {
  kiroku::XmlGame game;
  std::vector<kiroku::XmlHand> hands;
  friend bool operator==(const ReadLog&, const ReadLog&) = default;
};

// The game and every hand, as a caller that reads them all would.
std::expected<ReadLog, kiroku::ReadError> read(std::string_view bytes, bool with_parser) {
  kiroku::PaddedText text = kiroku::PaddedText::copy_of(bytes);
  auto reader = with_parser ? kiroku::XmlReader::open_with_parser(text) : kiroku::XmlReader::open(text);
  if (!reader) return std::unexpected(std::move(reader.error()));
  ReadLog log{.game = reader->game(), .hands = {}};
  for (kiroku::XmlHand hand;;) {
    auto more = reader->next_hand(hand);
    if (!more) return std::unexpected(std::move(more.error()));
    if (!*more) return log;
    log.hands.push_back(hand);
  }
}

}  // namespace

extern "C" const char* __asan_default_options() { return kiroku::fuzz::kAsanOptions; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kiroku::fuzz::check_same_read(read(bytes, false), read(bytes, true));
  return 0;
}
