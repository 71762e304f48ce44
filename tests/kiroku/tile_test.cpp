#include "kiroku/tile.h"
#include "kiroku/tile_code.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kiroku {
namespace {

TEST(tile_test, every_code_maps_to_its_name_and_back) {
  const std::vector<std::pair<int, std::string>> table = {
      {11, "1m"}, {15, "5m"},  {19, "9m"},  {21, "1p"},  {29, "9p"}, {31, "1s"}, {37, "7s"},
      {39, "9s"}, {41, "E"},   {42, "S"},   {43, "W"},   {44, "N"},  {45, "P"},  {46, "F"},
      {47, "C"},  {51, "5mr"}, {52, "5pr"}, {53, "5sr"}, {0, "?"},
  };
  for (const auto& [code, name] : table) {
    auto tile = tile_from_code(static_cast<std::uint8_t>(code));
    ASSERT_TRUE(tile) << code;
    EXPECT_EQ(tile_name(*tile), name) << code;
    EXPECT_EQ(tile_code(*tile), code);
  }
  int valid = 0;
  for (int code = 0; code < 256; ++code) {
    if (auto tile = tile_from_code(static_cast<std::uint8_t>(code))) {
      ++valid;
      EXPECT_EQ(tile_code(*tile), code);
    }
  }
  EXPECT_EQ(valid, 38);
}

TEST(tile_test, codes_between_and_beyond_the_suits_are_not_tiles) {
  for (int code : {1, 9, 10, 20, 30, 40, 48, 49, 50, 54, 60, 63, 64, 255}) {
    EXPECT_FALSE(tile_from_code(static_cast<std::uint8_t>(code))) << code;
  }
}

TEST(tile_test, indices_run_in_table_order) {
  EXPECT_EQ(tile_from_code(11)->index(), 0);
  EXPECT_EQ(tile_from_code(39)->index(), 26);
  EXPECT_EQ(tile_from_code(41)->index(), 27);
  EXPECT_EQ(tile_from_code(53)->index(), 36);
  EXPECT_TRUE(tile_from_code(0)->is_placeholder());
  EXPECT_TRUE(Tile().is_placeholder());
  EXPECT_FALSE(Tile::from_index(38));
  EXPECT_NE(*tile_from_code(15), *tile_from_code(51));  // red five is a tile of its own
}

TEST(tile_test, reads_two_characters_of_call_notation) {
  EXPECT_EQ(tile_from_text("37"), *tile_from_code(37));
  EXPECT_EQ(tile_from_text("53"), *tile_from_code(53));
  EXPECT_EQ(tile_from_text("+0"), Tile());
  EXPECT_EQ(tile_from_text("00"), Tile());
  EXPECT_EQ(tile_from_text("+5"), std::unexpected(InvalidTileCode{"+5"}));  // 5 is no tile code
}

TEST(tile_test, refuses_text_that_is_not_a_tile_code) {
  for (std::string_view text : {"5m", "05", "60", "-1", "++", "+-", " 1", "1 ", "1x"}) {
    auto tile = tile_from_text(text);
    ASSERT_FALSE(tile) << text;
    EXPECT_EQ(tile.error().text, text);
  }
  // Invalid UTF-8 reaches the message as U+FFFD.
  auto tile = tile_from_text("1\xFF");
  ASSERT_FALSE(tile);
  EXPECT_EQ(tile.error().text, "1\xEF\xBF\xBD");
  // Two bytes that form one non-ASCII character stay that character.
  EXPECT_EQ(tile_from_text("\xC3\xA9").error().text, "\xC3\xA9");
}

TEST(tile_test, invalid_code_message_lists_every_code) {
  EXPECT_EQ(invalid_tile_code_message(60),
            "invalid value: 60, expected one of: 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22, 23, "
            "24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47, "
            "51, 52, 53");
}

}  // namespace
}  // namespace kiroku
