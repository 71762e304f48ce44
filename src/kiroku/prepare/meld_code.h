// The call code of Tenhou's XML log: one 16-bit number per call or kan that
// packs its kind, its tiles and the seat the claimed tile came from.
#pragma once

#include <cstdint>
#include <optional>

#include "kiroku/prepared_game.h"

namespace kiroku {

// The meld a call code stands for, or nothing for a code no four-player
// game can hold (a north-wind extraction, a sequence or kind outside the
// tiles, a chi not from the seat before, an open kan from the caller itself).
std::optional<Meld> decode_meld_code(std::uint16_t code) noexcept;

}  // namespace kiroku
