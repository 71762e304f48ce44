#include "kiroku/pipeline.h"

#include <utility>

namespace kiroku {

std::string describe(const PipelineError& error) {
  struct Describer {
    std::string operator()(const ReadError& e) const { return "read: " + e.message; }
    std::string operator()(PrepareError e) const { return "prepare: " + std::string(describe(e)); }
    std::string operator()(const conv::ConversionError& e) const { return "convert: " + conv::describe(e); }
    std::string operator()(const EncodeError& e) const {
      return "encode: event " + std::to_string(e.event_index) + " could not be written";
    }
  };
  return std::visit(Describer{}, error.detail);
}

namespace {

// Converts and encodes a hand at a time: only one hand's events are held
// as events, the rest already as text.
template <class HandConverter>
std::expected<EncodedEvents, PipelineError> encode_by_hand(HandConverter converter, conv::ConversionStats* stats) {
  EncodedEvents encoded;
  std::vector<Event> events;
  events.push_back(converter.start_game());
  std::expected<void, PipelineError> done;
  for (std::size_t position = 0; done && position < converter.hand_count(); ++position) {
    if (auto converted = converter.convert_hand(position, events); !converted) {
      done = std::unexpected(PipelineError{std::move(converted.error())});
    } else if (auto appended = encoded.append(events); !appended) {
      done = std::unexpected(PipelineError{appended.error()});
    }
    events.clear();
  }
  if (stats != nullptr) *stats = converter.stats();
  if (!done) return std::unexpected(std::move(done.error()));

  events.push_back(event::EndGame{});
  if (auto appended = encoded.append(events); !appended) return std::unexpected(PipelineError{appended.error()});
  return encoded;
}

std::expected<EncodedEvents, PipelineError> run_json_log(const PaddedText& text, conv::ConversionStats* stats) {
  auto raw = read_json_log(text);
  if (!raw) return std::unexpected(PipelineError{std::move(raw.error())});

  auto prepared = prepare_json_log(std::move(*raw));
  if (!prepared) return std::unexpected(PipelineError{prepared.error()});
  return encode_by_hand(conv::JsonLogConverter(*prepared), stats);
}

std::expected<EncodedEvents, PipelineError> run_xml_log(PaddedText& text, conv::ConversionStats* stats) {
  auto read = read_xml_log(text);
  if (!read) return std::unexpected(PipelineError{std::move(read.error())});

  auto prepared = prepare_xml_log(std::move(*read));
  if (!prepared) return std::unexpected(PipelineError{prepared.error()});
  return encode_by_hand(conv::XmlLogConverter(*prepared), stats);
}

}  // namespace

std::expected<EncodedEvents, PipelineError> convert_text(PaddedText& text, conv::ConversionStats* stats) {
  return detect_log_format(text.view()) == LogFormat::TenhouXml ? run_xml_log(text, stats)
                                                                : run_json_log(text, stats);
}

}  // namespace kiroku
