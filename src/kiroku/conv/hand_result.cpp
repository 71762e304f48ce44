#include "kiroku/conv/hand_result.h"

#include <variant>

namespace kiroku::conv {

void emit_hand_result(const PreparedHand& hand, std::vector<Event>& events) {
  if (const auto* draw = std::get_if<Draw>(&hand.result)) {
    events.push_back(event::Ryukyoku{.deltas = draw->deltas});
  } else {
    for (const Win& win : std::get<std::vector<Win>>(hand.result)) {
      // Every winner gets the same ura list, riichi or not: the log keeps one.
      events.push_back(event::Hora{
          .actor = win.winner, .target = win.target, .deltas = win.deltas, .ura_markers = hand.ura_indicators});
    }
  }
  events.push_back(event::EndKyoku{});
}

}  // namespace kiroku::conv
