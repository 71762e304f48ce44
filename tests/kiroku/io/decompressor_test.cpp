#include "kiroku/io/decompressor.h"

#include <gtest/gtest.h>

#include <string>

#include "compressed_fixtures.h"

namespace kiroku {
namespace {

TEST(decompressor_test, magic_numbers_tell_the_codec_only_when_whole) {
  const struct {
    std::string bytes;
    std::optional<Codec> codec;
  } cases[] = {
      {"\x1f\x8b", Codec::Gzip},
      {"\x1f", std::nullopt},
      {"BZh1", Codec::Bzip2},
      {"BZh9", Codec::Bzip2},
      {"BZh0", std::nullopt},
      {"BZh", std::nullopt},
      {"\x04\x22\x4d\x18", Codec::Lz4},
      {"\x04\x22\x4d", std::nullopt},
      {"\x28\xb5\x2f\xfd", Codec::Zstd},
      {"\x50\x2a\x4d\x18", Codec::Zstd},  // skippable, 0x184D2A50 to 0x184D2A5F
      {"\x5f\x2a\x4d\x18", Codec::Zstd},
      {"\x60\x2a\x4d\x18", std::nullopt},
      {std::string("\xfd"
                   "7zXZ\0",
                   6),
       Codec::Xz},
      {"\xfd"
       "7zXZ",
       std::nullopt},
      {"{\"log\"", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [bytes, codec] : cases) EXPECT_EQ(codec_of(bytes), codec) << testing::PrintToString(bytes);
  EXPECT_TRUE(starts_frame(Codec::Lz4, "\x50\x2a\x4d\x18"));  // after an lz4 frame, a skippable one is lz4's
}

// Every library keeps its promise of progress when both sides are tiny.
TEST(decompressor_test, each_codec_goes_on_in_pieces_of_input_and_room) {
  const std::string text = test::fixture("realistic_game.json");
  for (const test::CodecFixture& codec : test::kCodecFixtures) {
    const std::string packed = test::fixture(std::string("compressed/realistic_game") + codec.extension);
    const auto decompressor = make_decompressor(codec.codec, std::size_t{1} << 30);
    std::string out;
    std::string_view input = packed;
    for (bool ended = false; !ended;) {
      char room[7];
      const auto step = decompressor->decompress(input.substr(0, 3), room);
      ASSERT_TRUE(step.has_value()) << codec.extension << ": " << step.error();
      ASSERT_TRUE(step->consumed > 0 || step->produced > 0 || step->frame_ended) << codec.extension;
      input.remove_prefix(step->consumed);
      out.append(room, step->produced);
      ended = step->frame_ended;
    }
    EXPECT_TRUE(input.empty()) << codec.extension;
    EXPECT_EQ(out, text) << codec.extension;
  }
}

}  // namespace
}  // namespace kiroku
