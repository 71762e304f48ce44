#include "kiroku/pipeline.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "kiroku/conv/converter.h"
#include "kiroku/prepare/json_preparation.h"
#include "kiroku/prepare/xml_preparation.h"
#include "kiroku/read/json_reader.h"
#include "kiroku/read/log_format.h"
#include "kiroku/read/xml_reader.h"

namespace kiroku {

std::string describe(const PipelineError& error) {
  struct Describer {
    std::string operator()(const ReadError& e) const { return "read: " + e.message; }
    std::string operator()(PrepareError e) const { return "prepare: " + std::string(describe(e)); }
    std::string operator()(const ConversionError& e) const { return "convert: " + describe(e); }
  };
  return std::visit(Describer{}, error.detail);
}

namespace {

using Failure = std::unexpected<PipelineError>;

Failure failure(HandPreparationError&& error) {
  return std::visit([](auto&& detail) { return Failure(PipelineError{std::move(detail)}); }, std::move(error));
}

// The one loop over a game's hands: each is prepared by `next_hand` (false
// after the last), converted and encoded in turn, so that only one hand's
// events are ever held as events, the rest already as text.
template <class NextHand>
std::expected<EncodedEvents, PipelineError> convert_game(const PreparedGame& game, NextHand next_hand,
                                                         conv::ConversionStats* stats) {
  conv::Converter converter(game);
  EncodedEvents encoded;
  std::vector<Event> events;
  events.push_back(converter.start_game());
  PreparedHand hand;  // its buffers serve every hand
  std::expected<void, PipelineError> done;
  for (;;) {
    auto more = next_hand(hand);
    if (!more) {
      done = Failure(std::move(more.error()));
      break;
    }
    if (!*more) break;
    if (auto converted = converter.convert_hand(hand, events); !converted) {
      done = Failure(PipelineError{std::move(converted.error())});
      break;
    }
    encoded.append(events);
    events.clear();
  }
  if (stats != nullptr) *stats = converter.stats();
  if (!done) return std::unexpected(std::move(done.error()));
  events.push_back(event::EndGame{});
  encoded.append(events);
  return encoded;
}

std::expected<EncodedEvents, PipelineError> convert_json(const PaddedText& text, conv::ConversionStats* stats) {
  auto log = read_json_log(text);
  if (!log) return Failure(PipelineError{std::move(log.error())});
  const auto game = prepare_json_game(*log);
  if (!game) return Failure(PipelineError{game.error()});
  std::size_t position = 0;
  return convert_game(
      *game,
      [&](PreparedHand& hand) -> std::expected<bool, PipelineError> {
        if (position == log->log.size()) return false;
        if (auto prepared = prepare_json_hand(std::move(log->log[position]), position, hand); !prepared) {
          return failure(std::move(prepared.error()));
        }
        ++position;
        return true;
      },
      stats);
}

std::expected<EncodedEvents, PipelineError> convert_xml(PaddedText& text, conv::ConversionStats* stats) {
  auto reader = XmlReader::open(text);
  if (!reader) return Failure(PipelineError{std::move(reader.error())});
  const auto game = prepare_xml_game(std::move(reader->game()));
  if (!game) return Failure(PipelineError{game.error()});
  XmlHand read;  // its buffers serve every hand
  std::size_t position = 0;
  return convert_game(
      *game,
      [&](PreparedHand& hand) -> std::expected<bool, PipelineError> {
        auto more = reader->next_hand(read);
        if (!more) return Failure(PipelineError{std::move(more.error())});
        if (!*more) return false;
        if (auto prepared = prepare_xml_hand(read, position, game->aka_flag, hand); !prepared) {
          return Failure(PipelineError{std::move(prepared.error())});
        }
        ++position;
        return true;
      },
      stats);
}

}  // namespace

std::expected<EncodedEvents, PipelineError> convert_text(PaddedText text, conv::ConversionStats* stats) {
  return detect_log_format(text.view()) == LogFormat::TenhouXml ? convert_xml(text, stats) : convert_json(text, stats);
}

}  // namespace kiroku
