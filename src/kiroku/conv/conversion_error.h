// Why a game could not be put back into its order of play.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kiroku/event.h"
#include "kiroku/json_log.h"
#include "kiroku/tile.h"
#include "kiroku/tile_id.h"

namespace kiroku::conv {

enum class ConversionErrorKind : std::uint8_t {
  InvalidNotation,   // a call, kan or riichi text no rule accepts
  InvalidTileCode,   // a tile field of such a text is not a tile code
  UnexpectedNumber,  // a take list holds a number that is not a tile
  NoDoraMarker,      // a dora indicator is due and none is left
  TakesExhausted,    // the seat to move has no take entry left
  MismatchedCall,    // a call does not fit the last discard
  UnreadEntries,     // the hand ended with entries of some seat unread
  // A record kept in order of play that cannot be a game:
  TileSeenTwice,    // a tile id dealt, drawn or shown as an indicator twice
  TileNotHeld,      // a discard, call or kan of a tile the seat does not hold
  OutOfTurn,        // a step where the seat may not make it
  HandNotFinished,  // the record ends, or the next hand starts, before the hand's result
};

inline constexpr std::size_t kConversionErrorKindCount = 11;

// The kind's own name, "TakesExhausted"; for logs and test messages.
std::string_view kind_name(ConversionErrorKind kind) noexcept;

// The first three kinds come from reading an entry and end the conversion at
// once; the others end one attempt at walking a hand, which may be retried.
constexpr bool is_decoding_error(ConversionErrorKind kind) noexcept {
  return kind <= ConversionErrorKind::UnexpectedNumber;
}

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
  std::string text;                 // InvalidNotation: the entry; InvalidTileCode: the two bytes
  std::uint8_t number = 0;          // UnexpectedNumber: the entry
  // MismatchedCall: the call, and the discard it was checked against.
  std::optional<Event> call;
  bool discard_seen = false;
  event::Seat previous_discarder = 0;
  Tile last_tile;
  TileId tile_id = 0;  // TileSeenTwice, TileNotHeld: the tile
};

// One line for people: "hand 5 (honba 1), seat 2: no take entry left".  An
// entry's text is shown as quoted_text shows it, control bytes escaped.
std::string describe(const ConversionError& error);

}  // namespace kiroku::conv
