#include "kiroku/prepare/meld_code.h"

#include <gtest/gtest.h>

#include <array>

#include "kiroku/tile_id.h"

namespace kiroku {
namespace {

Meld meld(Meld::Kind kind, std::uint8_t from, std::array<TileId, 4> tiles, std::uint8_t count, TileId claimed,
          TileId added = 0) {
  return Meld{.kind = kind, .from = from, .tiles = tiles, .tile_count = count, .claimed = claimed, .added = added};
}

// Codes taken from real games, with what each call was.
TEST(meld_code_test, real_calls_decode_to_their_tiles_and_direction) {
  // 4s 5s(red) 6s from the seat before, the 6s claimed.
  EXPECT_EQ(decode_meld_code(54431), meld(Meld::Kind::Chi, 3, {87, 88, 93, 0}, 3, 93));
  EXPECT_EQ(decode_meld_code(45067), meld(Meld::Kind::Pon, 3, {117, 118, 119, 0}, 3, 118));
  EXPECT_EQ(decode_meld_code(48682), meld(Meld::Kind::Pon, 2, {124, 126, 127, 0}, 3, 127));
  EXPECT_EQ(decode_meld_code(46185), meld(Meld::Kind::Pon, 1, {120, 121, 122, 0}, 3, 120));
  // A kakan names its pon as the pon's own code did, and the copy it adds.
  EXPECT_EQ(decode_meld_code(16947), meld(Meld::Kind::Kakan, 3, {44, 46, 47, 0}, 3, 44, 45));
  EXPECT_EQ(decode_meld_code(39026), meld(Meld::Kind::Kakan, 2, {100, 101, 102, 0}, 3, 101, 103));
  EXPECT_EQ(decode_meld_code(15106), meld(Meld::Kind::Daiminkan, 2, {56, 57, 58, 59}, 4, 59));
  EXPECT_EQ(decode_meld_code(1024), meld(Meld::Kind::Ankan, 0, {4, 5, 6, 7}, 4, 4));
}

TEST(meld_code_test, the_edges_of_the_packed_fields) {
  // The last sequence start (7s 8s 9s), the last kind (C) and the last tile id.
  EXPECT_EQ(decode_meld_code(static_cast<std::uint16_t>((20 * 3 + 2) << 10 | 0x4 | 3)),
            meld(Meld::Kind::Chi, 3, {96, 100, 104, 0}, 3, 104));
  EXPECT_EQ(decode_meld_code(static_cast<std::uint16_t>((33 * 3) << 9 | 0x8 | 1)),
            meld(Meld::Kind::Pon, 1, {133, 134, 135, 0}, 3, 133));
  EXPECT_EQ(decode_meld_code(static_cast<std::uint16_t>(135 << 8 | 2)),
            meld(Meld::Kind::Daiminkan, 2, {132, 133, 134, 135}, 4, 135));
}

TEST(meld_code_test, codes_no_four_player_game_holds_are_refused) {
  EXPECT_FALSE(decode_meld_code(0x20));                                          // a north wind set aside
  EXPECT_FALSE(decode_meld_code(static_cast<std::uint16_t>((54431 & ~3) | 1)));  // a chi not from the seat before
  EXPECT_FALSE(decode_meld_code(static_cast<std::uint16_t>((21 * 3) << 10 | 0x4 | 3)));  // a sequence past 7-8-9
  EXPECT_FALSE(decode_meld_code(static_cast<std::uint16_t>((34 * 3) << 9 | 0x8 | 1)));   // a kind past the dragons
  EXPECT_FALSE(decode_meld_code(static_cast<std::uint16_t>(45067 & ~3)));                // a pon from the caller itself
  EXPECT_FALSE(decode_meld_code(static_cast<std::uint16_t>(136 << 8 | 1)));              // a tile id past 135
}

}  // namespace
}  // namespace kiroku
