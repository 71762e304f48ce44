#include "kiroku/conv/hand_result.h"

#include <utility>
#include <variant>

namespace kiroku::conv {

void emit_hand_result(const PreparedHand& hand, std::vector<Event>& events) {
  // Built in place: a temporary Event would be moved and destroyed through
  // the variant's tables of functions.
  if (const auto* draw = std::get_if<Draw>(&hand.result)) {
    events.emplace_back(std::in_place_type<event::Ryukyoku>, event::Ryukyoku{.deltas = draw->deltas});
  } else {
    for (const Win& win : std::get<std::vector<Win>>(hand.result)) {
      // Every winner gets the same ura list, riichi or not: the log keeps one.
      events.emplace_back(
          std::in_place_type<event::Hora>,
          event::Hora{
              .actor = win.winner, .target = win.target, .deltas = win.deltas, .ura_markers = hand.ura_indicators});
    }
  }
  events.emplace_back(std::in_place_type<event::EndKyoku>);
}

}  // namespace kiroku::conv
