#include "kiroku/conv/hand_writer.h"

#include <algorithm>
#include <utility>
#include <variant>

namespace kiroku::conv {

// Events are appended built in place as their kind: a temporary Event would
// be moved and destroyed through the variant's tables of functions.

std::expected<void, ConversionError> HandWriter::start() {
  if (dora_indicators_.empty()) {
    return std::unexpected(ConversionError::of(ConversionErrorKind::NoDoraMarker, hand_.id));
  }
  const std::uint8_t index = hand_.id.hand_index;
  constexpr std::uint8_t kEast = 27;  // the winds follow in order: E, S, W, N
  event::StartKyoku& start = std::get<event::StartKyoku>(events_.emplace_back(std::in_place_type<event::StartKyoku>));
  start.bakaze = *Tile::from_index(static_cast<std::uint8_t>(kEast + std::min(index / 4, 3)));
  start.dora_marker = dora_indicators_.front();
  start.kyoku = static_cast<std::uint8_t>(index % 4 + 1);
  start.honba = hand_.id.honba;
  start.kyotaku = hand_.id.deposits;
  start.oya = static_cast<std::uint8_t>(index % 4);
  start.scores = hand_.scores;
  start.tehais = hand_.starting_hands;
  return {};
}

std::expected<void, ConversionError> HandWriter::new_dora() {
  if (dora_cursor_ >= dora_indicators_.size()) {
    return std::unexpected(ConversionError::of(ConversionErrorKind::NoDoraMarker, hand_.id));
  }
  events_.emplace_back(std::in_place_type<event::Dora>, event::Dora{.dora_marker = dora_indicators_[dora_cursor_++]});
  return {};
}

std::expected<void, ConversionError> HandWriter::begin_take() {
  // A kan's consequences wait until play goes on after it: a robbed kan
  // reveals nothing.
  const After after = std::exchange(after_, After::Nothing);
  if (after == After::Kakan) dora_after_discard_ = true;  // revealed after the replacement draw
  if (after == After::Ankan) {
    if (auto dora = new_dora(); !dora) return dora;
  }
  // The declaration stands once the next player has moved without winning
  // on the riichi tile.
  if (riichi_pending_) {
    riichi_pending_ = false;
    events_.emplace_back(std::in_place_type<event::ReachAccepted>, event::ReachAccepted{.actor = declarer_});
  }
  return {};
}

std::expected<void, ConversionError> HandWriter::settle_before_take() {
  if (std::exchange(replacement_due_, false)) {
    dora_after_discard_ = true;  // the daiminkan's own dora, before the next discard
    return {};
  }
  return begin_take();
}

std::expected<void, ConversionError> HandWriter::owed_tsumo(event::Tsumo tsumo) {
  if (auto settled = settle_before_take(); !settled) return settled;
  if (dora_before_draw_) {
    if (auto dora = new_dora(); !dora) return dora;
    dora_before_draw_ = false;
  }
  events_.emplace_back(std::in_place_type<event::Tsumo>, tsumo);
  return {};
}

std::expected<void, ConversionError> HandWriter::chi(const event::Chi& chi) {
  tally_.call();
  if (auto settled = settle_before_take(); !settled) return settled;
  events_.emplace_back(std::in_place_type<event::Chi>, chi);
  return {};
}

std::expected<void, ConversionError> HandWriter::pon(const event::Pon& pon) {
  tally_.call();
  if (auto settled = settle_before_take(); !settled) return settled;
  events_.emplace_back(std::in_place_type<event::Pon>, pon);
  return {};
}

std::expected<void, ConversionError> HandWriter::daiminkan(const event::Daiminkan& daiminkan) {
  tally_.kan(daiminkan.actor, true);
  if (replacement_due_) {
    // A kan in place of the replacement draw: the first kan's dora now.
    if (auto dora = new_dora(); !dora) return dora;
  } else {
    if (auto begun = begin_take(); !begun) return begun;
    // An earlier kan's dora still due is revealed before this kan.
    if (dora_after_discard_) {
      if (auto dora = new_dora(); !dora) return dora;
    }
  }
  events_.emplace_back(std::in_place_type<event::Daiminkan>, daiminkan);
  replacement_due_ = true;
  return {};
}

std::expected<void, ConversionError> HandWriter::riichi(const event::Reach& reach, const event::Dahai& dahai) {
  // The declaration's discard reveals no due dora: the indicator waits.
  events_.emplace_back(std::in_place_type<event::Reach>, reach);
  events_.emplace_back(std::in_place_type<event::Dahai>, dahai);
  riichi_pending_ = true;
  declarer_ = reach.actor;
  tally_.discard(dahai.pai, true, dahai.actor);
  return {};
}

std::expected<void, ConversionError> HandWriter::kakan(const event::Kakan& kakan) {
  tally_.kan(kakan.actor, false);
  // An earlier kan's dora still due now waits for the replacement draw.
  if (dora_after_discard_) dora_before_draw_ = true;
  events_.emplace_back(std::in_place_type<event::Kakan>, kakan);
  riichi_pending_ = false;
  after_ = After::Kakan;
  return {};
}

std::expected<void, ConversionError> HandWriter::ankan(const event::Ankan& ankan) {
  tally_.kan(ankan.actor, false);
  if (dora_after_discard_) {
    if (auto dora = new_dora(); !dora) return dora;
    dora_after_discard_ = false;
  }
  events_.emplace_back(std::in_place_type<event::Ankan>, ankan);
  riichi_pending_ = false;
  after_ = After::Ankan;
  return {};
}

std::expected<void, ConversionError> HandWriter::finish() {
  const std::vector<Tile>& ura_indicators = hand_.ura_indicators;
  if (const auto* draw = std::get_if<Draw>(&hand_.result)) {
    if (const auto reason = tally_.impossible(draw->kind)) {
      ConversionError error = ConversionError::of(ConversionErrorKind::ImpossibleDraw, hand_.id);
      error.text = *reason;
      return std::unexpected(std::move(error));
    }
    if (draw->kind == DrawKind::FourRiichi && riichi_pending_) {
      events_.emplace_back(std::in_place_type<event::ReachAccepted>, event::ReachAccepted{.actor = declarer_});
    }
    events_.emplace_back(std::in_place_type<event::Ryukyoku>, event::Ryukyoku{.deltas = draw->deltas});
  } else {
    for (const Win& win : std::get<std::vector<Win>>(hand_.result)) {
      // Every winner gets the same ura list, riichi or not: the log keeps one.
      events_.emplace_back(std::in_place_type<event::Hora>,
                           event::Hora{.actor = win.winner,
                                       .target = win.target,
                                       .deltas = win.deltas,
                                       .ura_markers = std::vector<Tile>(ura_indicators.begin(), ura_indicators.end())});
    }
  }
  events_.emplace_back(std::in_place_type<event::EndKyoku>);
  return {};
}

}  // namespace kiroku::conv
