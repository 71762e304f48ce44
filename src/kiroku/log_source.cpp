#include "kiroku/log_source.h"

#include <utility>
#include <variant>

#include "kiroku/prepare/json_preparation.h"
#include "kiroku/prepare/xml_preparation.h"
#include "kiroku/prepare/xml_tenhou6.h"
#include "kiroku/read/log_format.h"

namespace kiroku {

namespace {

using Failure = std::unexpected<PipelineError>;

}  // namespace

std::expected<PreparedGame, PipelineError> JsonSource::open(const PaddedText& text) {
  auto reader = JsonReader::open(text);
  if (!reader) return Failure(PipelineError{std::move(reader.error())});
  reader_.emplace(std::move(*reader));
  if (capture_ != nullptr) {
    capture_->game.game = reader_->game();  // before preparation takes the names
    // A log's own id stands unless the caller knows one.
    if (capture_->game.ref.empty() && reader_->game().ref) capture_->game.ref = *reader_->game().ref;
  }
  auto game = prepare_json_game(reader_->game());
  if (!game) return Failure(PipelineError{game.error()});
  return std::move(*game);
}

std::expected<bool, PipelineError> JsonSource::next_hand(PreparedHand& out) {
  auto more = reader_->next_hand(read_);
  if (!more) return Failure(PipelineError{std::move(more.error())});
  if (!*more) return false;
  if (capture_ != nullptr) capture_->hand = read_;  // preparation takes the hand over
  if (auto prepared = prepare_json_hand(std::move(read_), position_++, out); !prepared) {
    return std::visit([](auto&& detail) { return Failure(PipelineError{std::move(detail)}); },
                      std::move(prepared.error()));
  }
  return true;
}

std::expected<PreparedGame, PipelineError> XmlSource::open(const PaddedText& text) {
  auto reader = XmlReader::open(text);
  if (!reader) return Failure(PipelineError{std::move(reader.error())});
  reader_.emplace(std::move(*reader));
  if (capture_ != nullptr) capture_->game = tenhou6_game_of(reader_->game(), capture_->game.ref);
  auto game = prepare_xml_game(std::move(reader_->game()));
  if (!game) return Failure(PipelineError{game.error()});
  red_fives_ = game->aka_flag;
  return std::move(*game);
}

std::expected<bool, PipelineError> XmlSource::next_hand(PreparedHand& out) {
  auto more = reader_->next_hand(read_);
  if (!more) return Failure(PipelineError{std::move(more.error())});
  if (!*more) return false;
  const std::size_t position = position_++;
  if (auto prepared = prepare_xml_hand(read_, position, red_fives_, out); !prepared) {
    return Failure(PipelineError{std::move(prepared.error())});
  }
  if (capture_ != nullptr) {
    if (auto written = tenhou6_hand_of(read_, out, position, capture_->hand, capture_->game); !written) {
      return Failure(PipelineError{written.error()});
    }
  }
  return true;
}

std::expected<PreparedGame, PipelineError> GameSource::open(PaddedText& text, Tenhou6Capture* capture) {
  text.drop_prefix(byte_order_mark_size(text.view()));
  if (detect_log_format(text.view()) == LogFormat::TenhouXml) return source_.emplace<XmlSource>(capture).open(text);
  return source_.emplace<JsonSource>(capture).open(text);
}

}  // namespace kiroku
