// Writes the events of one hand in order of play and adds the ones a record
// leaves implicit: a riichi's acceptance, the dora each kan reveals, and the
// hand's result.  Both walks (the one that rebuilds the order from per-seat
// lists and the one that follows a record kept in order) tell it each step
// of play; where those events stand is decided here and nowhere else.
//
//   riichi declared           "reach", "dahai", then before the next take
//                             "reach_accepted" (also before a four-riichi
//                             draw; never when the discard is won on)
//   ankan                     "ankan", "dora", replacement "tsumo"
//   daiminkan or kakan        the kan, replacement "tsumo", "dora", "dahai"
//   a kan while an earlier    the earlier kan's "dora" comes first: before an
//   kan's dora is still due   ankan or a daiminkan, or after a kakan and
//                             before its replacement draw
//   riichi on the discard     "reach", "dahai" with no "dora": the indicator
//   after an open kan         waits for the next discard or closed kan
//
// A kan that ends the hand (robbed, or won on the replacement draw) reveals
// nothing.
#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <utility>
#include <vector>

#include "kiroku/conv/draw_rules.h"
#include "kiroku/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/prepared_game.h"
#include "kiroku/tile.h"

namespace kiroku::conv {

class HandWriter {
 public:
  // `hand` must outlive the writer; `events` receives the hand's events.
  HandWriter(const PreparedHand& hand, std::vector<Event>& events) noexcept
      : hand_(hand), dora_indicators_(hand.dora_indicators), events_(events) {}

  // "start_kyoku": the hand's opening.  Fails with NoDoraMarker, before
  // anything is written, when the hand has no indicator.
  [[nodiscard]] std::expected<void, ConversionError> start();

  // A take: a draw, a chi, a pon or a daiminkan.  After a daiminkan the
  // caller's next take is its replacement draw.
  [[nodiscard]] std::expected<void, ConversionError> tsumo(event::Tsumo tsumo);
  [[nodiscard]] std::expected<void, ConversionError> chi(const event::Chi& chi);
  [[nodiscard]] std::expected<void, ConversionError> pon(const event::Pon& pon);
  [[nodiscard]] std::expected<void, ConversionError> daiminkan(const event::Daiminkan& daiminkan);

  // A discard step: a discard, a riichi declaration with its discard, or a
  // kakan or ankan (after which the same seat takes its replacement draw).
  [[nodiscard]] std::expected<void, ConversionError> dahai(event::Dahai dahai);
  [[nodiscard]] std::expected<void, ConversionError> riichi(const event::Reach& reach, const event::Dahai& dahai);
  [[nodiscard]] std::expected<void, ConversionError> kakan(const event::Kakan& kakan);
  [[nodiscard]] std::expected<void, ConversionError> ankan(const event::Ankan& ankan);

  // The hand is over with its result.  A draw its play could not bring
  // about fails with ImpossibleDraw (see draw_rules.h).  A four-riichi draw
  // comes after the fourth declaration was accepted: Tenhou takes its stick
  // and carries all four into the next hand.  Then one "hora" per win (each
  // with the hand's ura indicators) or the "ryukyoku", then "end_kyoku".
  // The deltas are the log's, written as they are; nothing of them is
  // checked or computed.
  [[nodiscard]] std::expected<void, ConversionError> finish();

 private:
  enum class After : std::uint8_t { Nothing, Kakan, Ankan };

  [[nodiscard]] std::expected<void, ConversionError> new_dora();
  // What the step before a take still owes once play goes on: the dora of a
  // closed kan, the due mark of an added kan, a riichi's acceptance.
  [[nodiscard]] std::expected<void, ConversionError> begin_take();
  // The same, but right after a daiminkan (the take is its replacement
  // draw, or a kan in its place) only the kan's own dora falls due.
  [[nodiscard]] std::expected<void, ConversionError> settle_before_take();
  // A draw after a step that still owes something.
  [[nodiscard]] std::expected<void, ConversionError> owed_tsumo(event::Tsumo tsumo);

  const PreparedHand& hand_;
  std::span<const Tile> dora_indicators_;
  std::vector<Event>& events_;
  std::size_t dora_cursor_ = 1;      // the next indicator for a "dora" event
  bool dora_after_discard_ = false;  // a kan's dora is due before the next discard or closed kan
  bool dora_before_draw_ = false;    // an earlier kan's dora is due before the replacement draw
  bool replacement_due_ = false;     // a daiminkan was just written
  bool riichi_pending_ = false;      // "reach_accepted" is still to come
  event::Seat declarer_ = 0;         // of the pending riichi
  After after_ = After::Nothing;     // the last discard step was a kan
  PlayTally tally_;
};

// Inline: both walks call these for nearly every step of play.

inline std::expected<void, ConversionError> HandWriter::tsumo(event::Tsumo tsumo) {
  // Most draws follow a plain discard and owe nothing; the others take the
  // call out of line, which keeps this small enough for the walks to inline.
  tally_.draw(tsumo.actor);
  if (replacement_due_ || riichi_pending_ || dora_before_draw_ || after_ != After::Nothing) return owed_tsumo(tsumo);
  events_.emplace_back(std::in_place_type<event::Tsumo>, tsumo);
  return {};
}

inline std::expected<void, ConversionError> HandWriter::dahai(event::Dahai dahai) {
  if (dora_after_discard_) {
    if (auto dora = new_dora(); !dora) return dora;
    dora_after_discard_ = false;
  }
  events_.emplace_back(std::in_place_type<event::Dahai>, dahai);
  riichi_pending_ = false;
  tally_.discard(dahai.pai, false, dahai.actor);
  return {};
}

}  // namespace kiroku::conv
