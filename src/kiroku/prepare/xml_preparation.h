// The XML log -> the converter's input: refuses three-player games, derives
// the game-wide flags from the game type, and prepares each hand: its tiles
// named, its calls decoded, its result reduced.
#pragma once

#include <cstddef>
#include <expected>

#include "kiroku/conversion_error.h"
#include "kiroku/prepare/prepare_error.h"
#include "kiroku/prepared_game.h"
#include "kiroku/xml_log.h"

namespace kiroku {

// Takes the names over.  Fails only with ThreePlayerGame.
[[nodiscard]] std::expected<PreparedGame, PrepareError> prepare_xml_game(XmlGame&& game);

// Prepares the hand at `position` of a game with red fives or without into
// `out`, reusing the buffers `out` holds from an
// earlier hand.  A call code that names no four-player call fails as the
// hand's conversion error (InvalidCallCode).
[[nodiscard]] std::expected<void, ConversionError> prepare_xml_hand(const XmlHand& hand, std::size_t position,
                                                                    bool red_fives, PreparedHand& out);

}  // namespace kiroku
