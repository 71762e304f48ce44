// Writing the log's call notation: two-digit tile codes around one letter
// whose kind names the call and whose position names the seat called from.
// The simulator writes its logs with these, and the replay checker writes a
// converted event stream back with them to compare against the log.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "kiroku/tile.h"

namespace kiroku::sim {

// Where the called-from seat sits as seen by the caller: 1 is the next seat
// (shimocha), 2 the opposite seat (toimen), 3 the previous seat (kamicha).
inline std::size_t relative_seat(std::size_t actor, std::size_t target) { return (target + 4 - actor) % 4; }

// The two digits of a tile code ("15", "53"); the placeholder is "00".
std::string code_text(Tile tile);

// "c" + called + the two own tiles; a chi is always from the previous seat.
std::string chi_notation(Tile called, std::array<Tile, 2> own);

// The called tile stands right after the letter; the letter stands first for
// the previous seat, after one own tile for the opposite seat and after both
// own tiles for the next seat: "p151551", "15p5115", "1551p15".
std::string pon_notation(std::size_t relative, Tile called, std::array<Tile, 2> own);

// As a pon with three own tiles, the letter last but one field for the next
// seat: "m15151515", "15m151515", "151515m15".
std::string daiminkan_notation(std::size_t relative, Tile called, std::array<Tile, 3> own);

// An added kan is the pon's text with its "p" replaced by "k" and the added
// tile: pon "15p5115" + 15 gives "15k155115".
std::string kakan_notation_from_pon(std::string_view pon_text, Tile added);

// The same text built from the fields a converter reads back: the pon's
// three tiles in their order in the text, the letter placed as in the pon
// made from seat `relative`.
std::string kakan_notation(std::size_t relative, Tile added, std::array<Tile, 3> pon_tiles);

// Three tiles, "a", the fourth: "151515a51".
std::string ankan_notation(std::array<Tile, 4> tiles);

// "r" + the discarded tile, or "r60" when it is the tile just drawn.
std::string riichi_notation(std::optional<Tile> discarded_from_hand);

}  // namespace kiroku::sim
