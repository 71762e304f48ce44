#include "kiroku/io/gzip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "kiroku/io/file_reader.h"

namespace kiroku {
namespace {

// Text that deflate cannot shrink to nothing: varied lines.
std::string sample_text(std::size_t lines) {
  std::string text;
  for (std::size_t i = 0; i < lines; ++i) text += "{\"type\":\"dahai\",\"pai\":\"" + std::to_string(i * 7919) + "\"}\n";
  return text;
}

TEST(gzip_test, equal_text_gives_equal_bytes_however_it_is_cut) {
  const std::string text = sample_text(20000);
  const auto whole = gzip(text);
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(whole->substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10));  // no name, no time
  for (const std::size_t piece : {1u, 4095u, 65536u, 200000u}) {
    std::string out;
    std::size_t largest_piece = 0;
    GzipWriter writer([&](std::string_view bytes) {
      out.append(bytes);
      largest_piece = std::max(largest_piece, bytes.size());
    });
    for (std::size_t at = 0; at < text.size(); at += piece) {
      ASSERT_TRUE(writer.write(std::string_view(text).substr(at, piece)).has_value());
    }
    ASSERT_TRUE(writer.finish().has_value());
    EXPECT_EQ(out, *whole) << piece;
    EXPECT_LE(largest_piece, 64u * 1024) << piece;  // the sink never gets the output whole
  }
  const auto back = log_text_from_bytes(*whole, kDefaultMaxLogBytes);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->view(), text);
}

}  // namespace
}  // namespace kiroku
