// The compressed fixtures in tests/data/compressed/, made by each codec's own
// tool (make.sh there remakes them).
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "kiroku/io/decompressor.h"

namespace kiroku::test {

struct CodecFixture {
  Codec codec;
  const char* extension;
};
inline constexpr CodecFixture kCodecFixtures[] = {
    {Codec::Gzip, ".gz"}, {Codec::Bzip2, ".bz2"}, {Codec::Lz4, ".lz4"}, {Codec::Zstd, ".zst"}, {Codec::Xz, ".xz"},
};

// The bytes of tests/data/`name`; empty when it cannot be read.
inline std::string fixture(const std::string& name) {
  std::ifstream file(std::string(KIROKU_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace kiroku::test
