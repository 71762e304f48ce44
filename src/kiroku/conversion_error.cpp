#include "kiroku/conversion_error.h"

#include <array>
#include <string>
#include <type_traits>
#include <variant>

#include "kiroku/io/quoted_text.h"

namespace kiroku {

namespace {

std::string seat_text(event::Seat seat) { return "seat " + std::to_string(seat); }

// "pon of 5p from seat 1"; the walk only ever checks chi, pon and daiminkan.
std::string call_text(const Event& call) {
  return std::visit(
      [](const auto& e) -> std::string {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, event::Chi> || std::is_same_v<E, event::Pon> ||
                      std::is_same_v<E, event::Daiminkan>) {
          return std::string(event_type_name(Event(e))) + " of " + std::string(tile_name(e.pai)) + " from " +
                 seat_text(e.target);
        } else {
          return std::string(event_type_name(Event(e)));
        }
      },
      call);
}

std::string message(const ConversionError& error) {
  switch (error.kind) {
    // The text is the log's own bytes: quoted, so that no control byte in it
    // reaches the terminal or breaks the line.
    case ConversionErrorKind::InvalidNotation: return "invalid call notation " + quoted_log_text(error.text);
    case ConversionErrorKind::InvalidTileCode:
      return "invalid tile code " + quoted_log_text(error.text) + " in call notation";
    case ConversionErrorKind::UnexpectedNumber: return "take entry " + std::to_string(error.number) + " is not a tile";
    case ConversionErrorKind::InvalidCallCode:
      return "call code " + std::to_string(error.number) + " is not that of a four-player call";
    case ConversionErrorKind::NoDoraMarker: return "no dora indicator left";
    case ConversionErrorKind::TakesExhausted: return "no take entry left";
    case ConversionErrorKind::MismatchedCall: {
      std::string text = error.call ? call_text(*error.call) : std::string("call");
      text += " does not fit the last discard (";
      if (error.discard_seen) {
        text += std::string(tile_name(error.last_tile)) + " from " + seat_text(error.previous_discarder);
      } else {
        text += "none yet";
      }
      return text + ")";
    }
    case ConversionErrorKind::UnreadEntries: return "the hand ended with entries left unread";
    case ConversionErrorKind::TileSeenTwice:
      return "tile id " + std::to_string(error.tile_id) + " appears a second time";
    case ConversionErrorKind::TileNotHeld: return "tile id " + std::to_string(error.tile_id) + " is not in the hand";
    case ConversionErrorKind::OutOfTurn: return error.text + " out of turn";
    case ConversionErrorKind::HandNotFinished: return "the hand stops without a result";
    case ConversionErrorKind::ImpossibleDraw: return error.text;
  }
  return "unknown conversion error";
}

}  // namespace

ConversionError mismatched_call(HandId hand, event::Seat seat, const Event& call, std::optional<LastDiscard> last) {
  ConversionError error = ConversionError::of(ConversionErrorKind::MismatchedCall, hand, seat);
  error.call = call;
  error.discard_seen = last.has_value();
  if (last) {
    error.previous_discarder = last->discarder;
    error.last_tile = last->tile;
  }
  return error;
}

std::string describe(const ConversionError& error) {
  std::string line =
      "hand " + std::to_string(error.hand.hand_index) + " (honba " + std::to_string(error.hand.honba) + ")";
  if (error.seat) line += ", " + seat_text(*error.seat);
  return line + ": " + message(error);
}

}  // namespace kiroku
