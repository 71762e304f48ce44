// Why a hand could not be put into its order of play: one of its calls
// reads as no call (preparation decodes them), or its play is not a game
// (the converter walks it).  Either way it is the conversion of that hand
// that fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "kiroku/event.h"
#include "kiroku/game.h"
#include "kiroku/tile.h"
#include "kiroku/tile_id.h"

namespace kiroku {

enum class ConversionErrorKind : std::uint8_t {
  InvalidNotation,   // a call, kan or riichi text no rule accepts
  InvalidTileCode,   // a tile field of such a text is not a tile code
  UnexpectedNumber,  // a take list holds a number that is not a tile
  InvalidCallCode,   // a call code of the XML log names no four-player call
  NoDoraMarker,      // a dora indicator is due and none is left
  TakesExhausted,    // the seat to move has no take entry left
  MismatchedCall,    // a call does not fit the last discard
  UnreadEntries,     // the hand ended with entries of some seat unread
  // A record kept in order of play that cannot be a game:
  TileSeenTwice,    // a tile id dealt, drawn or shown as an indicator twice
  TileNotHeld,      // a discard, call or kan of a tile the seat does not hold
  OutOfTurn,        // a step where the seat may not make it
  HandNotFinished,  // the record ends, or the next hand starts, before the hand's result
  ImpossibleDraw,   // the hand ends in a draw its play could not bring about
};

struct ConversionError {
  static ConversionError of(ConversionErrorKind kind, HandId hand, std::optional<event::Seat> seat = std::nullopt) {
    ConversionError error;
    error.kind = kind;
    error.hand = hand;
    error.seat = seat;
    return error;
  }

  ConversionErrorKind kind = ConversionErrorKind::InvalidNotation;
  std::size_t hand_position = 0;    // the hand's place in the log, from 0
  HandId hand;                      // its hand index and honba, as the log writes them
  std::optional<event::Seat> seat;  // absent for NoDoraMarker
  std::string text;                 // InvalidNotation: the entry; InvalidTileCode: the two bytes; ImpossibleDraw: why
  std::uint32_t number = 0;         // UnexpectedNumber: the entry; InvalidCallCode: the code
  // MismatchedCall: the call, and the discard it was checked against.
  std::optional<Event> call;
  bool discard_seen = false;
  event::Seat previous_discarder = 0;
  Tile last_tile;
  TileId tile_id = 0;  // TileSeenTwice, TileNotHeld: the tile
};

// The last discard a call is checked against.
struct LastDiscard {
  event::Seat discarder = 0;
  Tile tile;
};

// MismatchedCall: `call`, a chi, pon or daiminkan by `seat`, does not fit
// `last` (none before the hand's first discard).
ConversionError mismatched_call(HandId hand, event::Seat seat, const Event& call, std::optional<LastDiscard> last);

// One line for people: "hand 5 (honba 1), seat 2: no take entry left".  An
// entry's text is shown as quoted_text shows it, control bytes escaped.
std::string describe(const ConversionError& error);

}  // namespace kiroku
