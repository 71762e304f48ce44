#include "kiroku/encode/viewer_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiroku {
namespace {

TEST(viewer_link_test, what_a_fragment_cannot_hold_is_percent_encoded) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {R"({"log":[[1,2]],"x":-2.5})", "%7B%22log%22:%5B%5B1,2%5D%5D,%22x%22:-2.5%7D"},
      // encodeURI's own set stays, but "#", which would end the fragment.
      {"azAZ09-_.!~*'();/?:@&=+$,", "azAZ09-_.!~*'();/?:@&=+$,"},
      {"# %\\\"<>^`|", "%23%20%25%5C%22%3C%3E%5E%60%7C"},
      // Every byte of a UTF-8 sequence, and control bytes.
      {"鳳南 ⓝ", "%E9%B3%B3%E5%8D%97%20%E2%93%9D"},
      {std::string("\n\x7f\0", 3), "%0A%7F%00"},
  };
  for (const auto& [document, encoded] : cases) {
    EXPECT_EQ(tenhou6_viewer_link(document), "https://tenhou.net/6/#json=" + encoded) << document;
  }
}

}  // namespace
}  // namespace kiroku
