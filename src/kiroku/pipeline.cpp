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

// A format's reader and preparation, giving the prepared game and then its
// hands one by one.  Each keeps the buffers of the hand it reads, so that
// they serve every hand.

class JsonSource {
 public:
  std::expected<PreparedGame, PipelineError> open(const PaddedText& text) {
    auto reader = JsonReader::open(text);
    if (!reader) return Failure(PipelineError{std::move(reader.error())});
    reader_.emplace(std::move(*reader));
    auto game = prepare_json_game(reader_->game());
    if (!game) return Failure(PipelineError{game.error()});
    return std::move(*game);
  }

  std::expected<bool, PipelineError> next_hand(PreparedHand& out) {
    auto more = reader_->next_hand(read_);
    if (!more) return Failure(PipelineError{std::move(more.error())});
    if (!*more) return false;
    if (auto prepared = prepare_json_hand(std::move(read_), position_++, out); !prepared) {
      return std::visit([](auto&& detail) { return Failure(PipelineError{std::move(detail)}); },
                        std::move(prepared.error()));
    }
    return true;
  }

 private:
  std::optional<JsonReader> reader_;
  JsonHand read_;
  std::size_t position_ = 0;
};

class XmlSource {
 public:
  std::expected<PreparedGame, PipelineError> open(const PaddedText& text) {
    auto reader = XmlReader::open(text);
    if (!reader) return Failure(PipelineError{std::move(reader.error())});
    reader_.emplace(std::move(*reader));
    auto game = prepare_xml_game(std::move(reader_->game()));
    if (!game) return Failure(PipelineError{game.error()});
    red_fives_ = game->aka_flag;
    return std::move(*game);
  }

  std::expected<bool, PipelineError> next_hand(PreparedHand& out) {
    auto more = reader_->next_hand(read_);
    if (!more) return Failure(PipelineError{std::move(more.error())});
    if (!*more) return false;
    if (auto prepared = prepare_xml_hand(read_, position_++, red_fives_, out); !prepared) {
      return Failure(PipelineError{std::move(prepared.error())});
    }
    return true;
  }

 private:
  std::optional<XmlReader> reader_;
  XmlHand read_;
  std::size_t position_ = 0;
  bool red_fives_ = true;
};

}  // namespace

struct Conversion::State {
  enum class Phase : std::uint8_t { NotStarted, Hands, Ended, Failed };

  explicit State(PaddedText taken) : text(std::move(taken)) {}

  // Reads, prepares and converts until the next piece of output is in
  // `events`; false at the end.
  std::expected<bool, PipelineError> convert_next();
  std::expected<void, PipelineError> start();

  PaddedText text;
  std::variant<JsonSource, XmlSource> source;
  PreparedGame game;
  std::optional<conv::Converter> converter;  // of `game`
  PreparedHand hand;                         // its buffers serve every hand
  std::vector<Event> events;                 // of the piece in the making
  EncodedEvents piece;
  std::size_t events_out = 0;
  Phase phase = Phase::NotStarted;
  std::optional<PipelineError> error;
  conv::ConversionStats no_stats;
};

std::expected<void, PipelineError> Conversion::State::start() {
  text.drop_prefix(byte_order_mark_size(text.view()));
  std::expected<PreparedGame, PipelineError> opened;
  if (detect_log_format(text.view()) == LogFormat::TenhouXml) {
    opened = source.emplace<XmlSource>().open(text);
  } else {
    opened = source.emplace<JsonSource>().open(text);
  }
  if (!opened) return std::unexpected(std::move(opened.error()));
  game = std::move(*opened);
  converter.emplace(game);
  events.push_back(converter->start_game());
  return {};
}

std::expected<bool, PipelineError> Conversion::State::convert_next() {
  if (phase == Phase::NotStarted) {
    if (auto started = start(); !started) return std::unexpected(std::move(started.error()));
    phase = Phase::Hands;
  }
  auto more = std::visit([&](auto& hands) { return hands.next_hand(hand); }, source);
  if (!more) return std::unexpected(std::move(more.error()));
  if (!*more) {
    events.push_back(event::EndGame{});
    phase = Phase::Ended;
    return true;
  }
  if (auto converted = converter->convert_hand(hand, events); !converted) {
    return std::unexpected(PipelineError{std::move(converted.error())});
  }
  return true;
}

Conversion::Conversion(PaddedText text) : state_(std::make_unique<State>(std::move(text))) {}
Conversion::Conversion(Conversion&&) noexcept = default;
Conversion& Conversion::operator=(Conversion&&) noexcept = default;
Conversion::~Conversion() = default;

std::expected<std::optional<std::string_view>, PipelineError> Conversion::next() {
  State& s = *state_;
  if (s.phase == State::Phase::Failed) return std::unexpected(*s.error);
  if (s.phase == State::Phase::Ended) return std::nullopt;
  auto converted = s.convert_next();
  if (!converted) {
    s.phase = State::Phase::Failed;
    s.error = std::move(converted.error());
    return std::unexpected(*s.error);
  }
  s.piece.clear();
  s.piece.append(s.events);
  s.events_out += s.events.size();
  s.events.clear();
  return s.piece.lines();
}

std::size_t Conversion::events() const noexcept { return state_->events_out; }

const conv::ConversionStats& Conversion::stats() const noexcept {
  return state_->converter ? state_->converter->stats() : state_->no_stats;
}

std::expected<EncodedEvents, PipelineError> convert_text(PaddedText text, conv::ConversionStats* stats) {
  Conversion conversion(std::move(text));
  EncodedEvents whole;
  std::expected<void, PipelineError> done;
  for (;;) {
    auto piece = conversion.next();
    if (!piece) {
      done = std::unexpected(std::move(piece.error()));
      break;
    }
    if (!*piece) break;
    whole.append_texts(**piece, conversion.events() - whole.size());
  }
  if (stats != nullptr) *stats = conversion.stats();
  if (!done) return std::unexpected(std::move(done.error()));
  return whole;
}

}  // namespace kiroku
