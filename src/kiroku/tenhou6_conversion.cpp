// The pipeline's entries that write Tenhou's JSON log (pipeline.h).
#include <string>
#include <utility>
#include <vector>

#include "kiroku/conv/converter.h"
#include "kiroku/encode/tenhou6_writer.h"
#include "kiroku/encode/viewer_link.h"
#include "kiroku/log_source.h"
#include "kiroku/pipeline.h"

namespace kiroku {

namespace {

// The document up to the end of its hand list, and where each hand's text
// stands in it.
struct WrittenHands {
  Tenhou6Game game;
  std::string text;
  std::vector<std::size_t> hand_begins;
  std::vector<std::size_t> hand_ends;

  std::string_view hand(std::size_t i) const noexcept {
    return std::string_view(text).substr(hand_begins[i], hand_ends[i] - hand_begins[i]);
  }
};

// Reads, prepares and converts the whole game, and writes each hand that
// converts.
std::expected<WrittenHands, PipelineError> written_hands(PaddedText text, std::string_view ref,
                                                         conv::ConversionStats* stats) {
  Tenhou6Capture capture;
  capture.game.ref = ref;
  GameSource source;
  auto game = source.open(text, &capture);
  if (!game) return std::unexpected(std::move(game.error()));
  conv::Converter converter(*game);
  PreparedHand hand;
  std::vector<Event> events;  // the check's, dropped hand by hand
  WrittenHands written;
  append_tenhou6_opening(capture.game, written.text);
  for (;;) {
    auto more = source.next_hand(hand);
    if (!more) return std::unexpected(std::move(more.error()));
    if (!*more) break;
    auto converted = converter.convert_hand(hand, events);
    if (stats != nullptr) *stats = converter.stats();
    if (!converted) return std::unexpected(PipelineError{std::move(converted.error())});
    events.clear();
    if (!written.hand_ends.empty()) written.text += ',';
    written.hand_begins.push_back(written.text.size());
    append_tenhou6_hand(capture.hand, written.text);
    written.hand_ends.push_back(written.text.size());
  }
  written.game = std::move(capture.game);
  return written;
}

}  // namespace

std::expected<std::string, PipelineError> convert_to_tenhou6(PaddedText text, std::string_view ref,
                                                             conv::ConversionStats* stats) {
  auto written = written_hands(std::move(text), ref, stats);
  if (!written) return std::unexpected(std::move(written.error()));
  append_tenhou6_closing(written->game, 0, written->hand_ends.size(), written->text);
  return std::move(written->text);
}

std::expected<std::vector<std::string>, PipelineError> tenhou6_viewer_links(PaddedText text, std::string_view ref,
                                                                            conv::ConversionStats* stats) {
  auto written = written_hands(std::move(text), ref, stats);
  if (!written) return std::unexpected(std::move(written.error()));
  std::vector<std::string> links;
  links.reserve(written->hand_ends.size());
  for (std::size_t i = 0; i < written->hand_ends.size(); ++i) {
    links.push_back(tenhou6_viewer_link(tenhou6_document(written->game, written->hand(i), i, 1)));
  }
  return links;
}

}  // namespace kiroku
