#include "sim/log_notation.h"

#include <cstdint>

#include "kiroku/tile_code.h"

namespace kiroku::sim {

std::string code_text(Tile tile) {
  const std::uint8_t code = tile_code(tile);
  return {static_cast<char>('0' + code / 10), static_cast<char>('0' + code % 10)};
}

std::string chi_notation(Tile called, std::array<Tile, 2> own) {
  return "c" + code_text(called) + code_text(own[0]) + code_text(own[1]);
}

std::string pon_notation(std::size_t relative, Tile called, std::array<Tile, 2> own) {
  const std::string p = "p" + code_text(called);
  switch (relative) {
    case 3: return p + code_text(own[0]) + code_text(own[1]);
    case 2: return code_text(own[0]) + p + code_text(own[1]);
    default: return code_text(own[0]) + code_text(own[1]) + p;
  }
}

std::string daiminkan_notation(std::size_t relative, Tile called, std::array<Tile, 3> own) {
  const std::string m = "m" + code_text(called);
  switch (relative) {
    case 3: return m + code_text(own[0]) + code_text(own[1]) + code_text(own[2]);
    case 2: return code_text(own[0]) + m + code_text(own[1]) + code_text(own[2]);
    default: return code_text(own[0]) + code_text(own[1]) + code_text(own[2]) + m;
  }
}

std::string kakan_notation_from_pon(std::string_view pon_text, Tile added) {
  std::string text(pon_text);
  const auto letter = text.find('p');
  text.replace(letter, 1, "k" + code_text(added));
  return text;
}

std::string kakan_notation(std::size_t relative, Tile added, std::array<Tile, 3> pon_tiles) {
  const std::string k = "k" + code_text(added);
  std::string text;
  for (std::size_t i = 0; i < pon_tiles.size(); ++i) {
    // The letter goes where the pon had it: before field 0, 1 or 2.
    if ((relative == 3 && i == 0) || (relative == 2 && i == 1) || (relative == 1 && i == 2)) text += k;
    text += code_text(pon_tiles[i]);
  }
  return text;
}

std::string ankan_notation(std::array<Tile, 4> tiles) {
  return code_text(tiles[0]) + code_text(tiles[1]) + code_text(tiles[2]) + "a" + code_text(tiles[3]);
}

std::string riichi_notation(std::optional<Tile> discarded_from_hand) {
  return "r" + (discarded_from_hand ? code_text(*discarded_from_hand) : std::string("60"));
}

}  // namespace kiroku::sim
