#include "kiroku/io/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace kiroku {
namespace {

TEST(utf8_test, accepts_ascii_and_well_formed_sequences) {
  EXPECT_TRUE(is_valid_utf8(""));
  EXPECT_TRUE(is_valid_utf8("plain ascii text that is longer than eight bytes"));
  EXPECT_TRUE(is_valid_utf8("\xE5\x92\x8C\xE4\xBA\x86"));  // 和了
  EXPECT_TRUE(is_valid_utf8("\xF0\x9F\x80\x84"));          // U+1F004, a mahjong tile
  EXPECT_TRUE(is_valid_utf8("\xF4\x8F\xBF\xBF"));          // U+10FFFF
}

TEST(utf8_test, refuses_malformed_sequences) {
  for (std::string bytes : {"\xFF", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xE5\x92", "\x80", "abcdefgh\xE5"}) {
    EXPECT_FALSE(is_valid_utf8(bytes)) << testing::PrintToString(bytes);
  }
}

TEST(utf8_test, lossy_decoding_replaces_each_maximal_invalid_part_once) {
  EXPECT_EQ(decode_utf8_lossy("ab"), "ab");
  EXPECT_EQ(decode_utf8_lossy("1\xFF"), "1\xEF\xBF\xBD");
  EXPECT_EQ(decode_utf8_lossy("\xE5\x92"), "\xEF\xBF\xBD");  // cut sequence: one
  EXPECT_EQ(decode_utf8_lossy("\xE5\x92x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(decode_utf8_lossy("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong: two
  EXPECT_EQ(decode_utf8_lossy("\xE5\x92\x8C"), "\xE5\x92\x8C");
}

}  // namespace
}  // namespace kiroku
