#include "kiroku/pipeline.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "kiroku/conv/converter.h"
#include "kiroku/log_source.h"

namespace kiroku {

std::string describe(const PipelineError& error) {
  struct Describer {
    std::string operator()(const ReadError& e) const { return "read: " + e.message; }
    std::string operator()(PrepareError e) const { return "prepare: " + std::string(describe(e)); }
    std::string operator()(const ConversionError& e) const { return "convert: " + describe(e); }
  };
  return std::visit(Describer{}, error.detail);
}

struct Conversion::State {
  enum class Phase : std::uint8_t { NotStarted, Hands, Ended, Failed };

  explicit State(PaddedText taken) : text(std::move(taken)) {}

  // Reads, prepares and converts until the next piece of output is in
  // `events`; false at the end.
  std::expected<bool, PipelineError> convert_next();
  std::expected<void, PipelineError> start();

  PaddedText text;
  GameSource source;
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
  auto opened = source.open(text);
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
  auto more = source.next_hand(hand);
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
