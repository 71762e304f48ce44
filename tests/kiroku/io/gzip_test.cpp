#include "kiroku/io/gzip.h"

#include <gtest/gtest.h>

#include <string>

namespace kiroku {
namespace {

TEST(gzip_test, magic_needs_both_bytes) {
  EXPECT_TRUE(has_gzip_magic("\x1f\x8b"));
  EXPECT_TRUE(has_gzip_magic("\x1f\x8b\x08"));
  EXPECT_FALSE(has_gzip_magic("\x1f"));
  EXPECT_FALSE(has_gzip_magic("\x8b\x1f"));
  EXPECT_FALSE(has_gzip_magic(""));
}

TEST(gzip_test, equal_text_gives_equal_bytes_that_inflate_back) {
  const std::string text = "{\"type\":\"start_game\"}\n" + std::string(100000, 'x');
  const auto once = gzip(text);
  ASSERT_TRUE(once.has_value());
  EXPECT_EQ(gzip(text), once);  // no name, no time in the header
  EXPECT_TRUE(has_gzip_magic(*once));

  std::string back(text.size() + 1, '\0');
  GzipInflater inflater;
  const auto step = inflater.inflate(*once, back);
  ASSERT_TRUE(step.has_value());
  EXPECT_TRUE(step->member_ended);
  EXPECT_EQ(step->consumed, once->size());
  back.resize(step->produced);
  EXPECT_EQ(back, text);
}

TEST(gzip_test, inflation_goes_on_in_pieces_of_input_and_room) {
  const std::string text(5000, 'y');
  const auto packed = gzip(text);
  ASSERT_TRUE(packed.has_value());
  GzipInflater inflater;
  std::string out;
  std::string_view input = *packed;
  for (bool ended = false; !ended;) {
    char room[7];
    const auto step = inflater.inflate(input.substr(0, 3), room);
    ASSERT_TRUE(step.has_value());
    ASSERT_TRUE(step->consumed > 0 || step->produced > 0);
    input.remove_prefix(step->consumed);
    out.append(room, step->produced);
    ended = step->member_ended;
  }
  EXPECT_TRUE(input.empty());
  EXPECT_EQ(out, text);
}

}  // namespace
}  // namespace kiroku
