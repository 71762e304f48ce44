#include "kiroku/io/quoted_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kiroku {
namespace {

TEST(quoted_text_test, plain_text_and_readable_scripts_stay_as_they_are) {
  EXPECT_EQ(quoted_text(""), "\"\"");
  EXPECT_EQ(quoted_text("/data/log.json"), "\"/data/log.json\"");
  EXPECT_EQ(quoted_text("和了 ~"), "\"和了 ~\"");
}

TEST(quoted_text_test, quotes_backslashes_and_line_breaks_are_escaped) {
  EXPECT_EQ(quoted_text("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(quoted_text(std::string("\n\r\t\0", 4)), R"("\n\r\t\0")");
}

TEST(quoted_text_test, characters_a_terminal_acts_on_become_code_points) {
  EXPECT_EQ(quoted_text("\x01\x1b[31mX\x7f"), R"("\u{1}\u{1b}[31mX\u{7f}")");
  EXPECT_EQ(quoted_text("\xc2\x85\xc2\x9f\xc2\xa0"), "\"\\u{85}\\u{9f}\xc2\xa0\"");  // C1 controls, then NBSP
  EXPECT_EQ(quoted_text("\xe2\x80\xa8\xe2\x80\xae\xe2\x81\xa9"), R"("\u{2028}\u{202e}\u{2069}")");
}

TEST(quoted_text_test, bytes_outside_utf8_become_hex_bytes) {
  EXPECT_EQ(quoted_text("1\xff"), R"("1\xFF")");
  EXPECT_EQ(quoted_text("\xe3\x81"), R"("\xE3\x81")");          // a sequence cut short
  EXPECT_EQ(quoted_text("\xed\xa0\x80"), R"("\xED\xA0\x80")");  // an encoded surrogate
}

}  // namespace
}  // namespace kiroku
