#include "kiroku/prepare/meld_code.h"

#include "kiroku/tile_id.h"

namespace kiroku {

namespace {

// Bits 0-1 say where the claimed tile came from (0 the caller itself, 1 the
// next seat, 2 across, 3 the seat before); one of bits 2-5 names the kind of
// a call, and none of them an open or closed kan.
constexpr unsigned kChiBit = 0x04;
constexpr unsigned kPonBit = 0x08;
constexpr unsigned kKakanBit = 0x10;
constexpr unsigned kExtractionBit = 0x20;  // a north wind set aside: three players only

constexpr std::uint8_t kKindCount = 34;

std::optional<Meld> decode_chi(unsigned code, std::uint8_t from) noexcept {
  if (from != 3) return std::nullopt;
  // Bits 10-15: the sequence's lowest kind as 0..20 (seven starts in each of
  // the three suits) times three, plus which of the three tiles was claimed.
  const unsigned packed = code >> 10U;
  const unsigned start = packed / 3;
  if (start >= 21) return std::nullopt;
  const unsigned kind = start / 7 * 9 + start % 7;
  Meld meld{.kind = Meld::Kind::Chi, .from = from, .tile_count = 3};
  // Bits 3-4, 5-6 and 7-8: the copy of each of the three kinds.
  for (unsigned i = 0; i < 3; ++i) {
    meld.tiles[i] = static_cast<TileId>((kind + i) * 4 + ((code >> (3 + 2 * i)) & 3U));
  }
  meld.claimed = meld.tiles[packed % 3];
  return meld;
}

// A pon, or the kakan that completes one: bits 9-15 are the kind times three
// plus which of the pon's three tiles was claimed, bits 5-6 the copy the pon
// left out (the one a kakan adds).
std::optional<Meld> decode_triplet(unsigned code, std::uint8_t from, Meld::Kind kind_of_meld) noexcept {
  if (from == 0) return std::nullopt;
  const unsigned packed = code >> 9U;
  const unsigned kind = packed / 3;
  if (kind >= kKindCount) return std::nullopt;
  const unsigned left_out = (code >> 5U) & 3U;
  Meld meld{.kind = kind_of_meld, .from = from, .tile_count = 3};
  std::uint8_t count = 0;
  for (unsigned copy = 0; copy < 4; ++copy) {
    if (copy != left_out) meld.tiles[count++] = static_cast<TileId>(kind * 4 + copy);
  }
  meld.claimed = meld.tiles[packed % 3];
  if (kind_of_meld == Meld::Kind::Kakan) meld.added = static_cast<TileId>(kind * 4 + left_out);
  return meld;
}

// Bits 8-15: the claimed tile of an open kan, or any tile of a closed one.
std::optional<Meld> decode_kan(unsigned code, std::uint8_t from) noexcept {
  const unsigned tile = code >> 8U;
  if (tile >= kTileIdCount) return std::nullopt;
  const unsigned first = tile / 4 * 4;
  Meld meld{.kind = from == 0 ? Meld::Kind::Ankan : Meld::Kind::Daiminkan, .from = from, .tile_count = 4};
  for (unsigned copy = 0; copy < 4; ++copy) meld.tiles[copy] = static_cast<TileId>(first + copy);
  meld.claimed = static_cast<TileId>(tile);
  return meld;
}

}  // namespace

std::optional<Meld> decode_meld_code(std::uint16_t code_bits) noexcept {
  const unsigned code = code_bits;  // shifted and masked as unsigned, never as the int it promotes to
  const auto from = static_cast<std::uint8_t>(code & 3U);
  if (code & kChiBit) return decode_chi(code, from);
  if (code & kPonBit) return decode_triplet(code, from, Meld::Kind::Pon);
  if (code & kKakanBit) return decode_triplet(code, from, Meld::Kind::Kakan);
  if (code & kExtractionBit) return std::nullopt;
  return decode_kan(code, from);
}

}  // namespace kiroku
