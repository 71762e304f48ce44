#include "kiroku/conv/converter.h"

#include <utility>
#include <variant>

#include "kiroku/conv/order_following.h"

namespace kiroku::conv {

std::expected<void, ConversionError> Converter::convert_hand(const PreparedHand& hand, std::vector<Event>& events) {
  struct Source {
    Converter& converter;
    const PreparedHand& hand;
    std::vector<Event>& events;
    std::expected<void, ConversionError> operator()(const ListedPlay& play) const {
      return converter.order_finding_.convert_hand(hand, play, events, converter.stats_);
    }
    std::expected<void, ConversionError> operator()(const RecordedPlay& play) const {
      return follow_order(hand, play, events);
    }
  };
  auto converted = std::visit(Source{*this, hand, events}, hand.play);
  if (!converted) {
    converted.error().hand_position = hand.position;
    return converted;
  }
  ++stats_.hands;
  return {};
}

}  // namespace kiroku::conv
