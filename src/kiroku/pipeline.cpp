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

std::expected<std::vector<Event>, PipelineError> events_of_json_log(const PaddedText& text,
                                                                    conv::ConversionStats* stats) {
  auto raw = read_raw_log(text);
  if (!raw) return std::unexpected(PipelineError{std::move(raw.error())});

  auto prepared = prepare_log(std::move(*raw));
  if (!prepared) return std::unexpected(PipelineError{prepared.error()});

  auto events = conv::convert_log(*prepared, stats);
  if (!events) return std::unexpected(PipelineError{std::move(events.error())});
  return std::move(*events);
}

std::expected<std::vector<Event>, PipelineError> events_of_xml_log(PaddedText& text, conv::ConversionStats* stats) {
  auto read = read_play_log(text);
  if (!read) return std::unexpected(PipelineError{std::move(read.error())});

  auto prepared = prepare_play_log(std::move(*read));
  if (!prepared) return std::unexpected(PipelineError{prepared.error()});

  auto events = conv::convert_play_log(*prepared, stats);
  if (!events) return std::unexpected(PipelineError{std::move(events.error())});
  return std::move(*events);
}

}  // namespace

std::expected<EncodedEvents, PipelineError> convert_text(PaddedText& text, conv::ConversionStats* stats) {
  auto events = detect_log_format(text.view()) == LogFormat::TenhouXml ? events_of_xml_log(text, stats)
                                                                       : events_of_json_log(text, stats);
  if (!events) return std::unexpected(std::move(events.error()));

  auto encoded = encode_events(*events);
  if (!encoded) return std::unexpected(PipelineError{encoded.error()});
  return std::move(*encoded);
}

}  // namespace kiroku
