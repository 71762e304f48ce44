// The bzip2 Decompressor, through libbz2.
#include <bzlib.h>

#include <algorithm>
#include <climits>  // UINT_MAX
#include <new>

#include "kiroku/io/decompressor.h"

namespace kiroku {
namespace {

// libbz2 has codes but no texts; these follow the bzip2 tool's wording.
std::string bzip2_failure(int status) {
  switch (status) {
    case BZ_MEM_ERROR: return "out of memory";
    case BZ_DATA_ERROR: return "data integrity error";
    case BZ_DATA_ERROR_MAGIC: return "bad magic number";
    default: return "corrupt data";
  }
}

// libbz2 counts in unsigned int; longer buffers are handed over in slices.
unsigned slice(std::size_t remaining) noexcept {
  return static_cast<unsigned>(std::min<std::size_t>(remaining, UINT_MAX));
}

class Bzip2Decompressor final : public Decompressor {
 public:
  Bzip2Decompressor() { start(); }
  Bzip2Decompressor(const Bzip2Decompressor&) = delete;
  Bzip2Decompressor& operator=(const Bzip2Decompressor&) = delete;
  ~Bzip2Decompressor() override { BZ2_bzDecompressEnd(&stream_); }

  std::expected<Step, std::string> decompress(std::string_view input, std::span<char> output) override {
    // libbz2 only reads its input, through a pointer to non-const.
    stream_.next_in = const_cast<char*>(input.data());
    stream_.avail_in = slice(input.size());
    stream_.next_out = output.data();
    stream_.avail_out = slice(output.size());
    const unsigned offered_in = stream_.avail_in;
    const unsigned offered_out = stream_.avail_out;
    const int status = BZ2_bzDecompress(&stream_);
    if (status != BZ_OK && status != BZ_STREAM_END) return std::unexpected(bzip2_failure(status));
    return Step{offered_in - stream_.avail_in, offered_out - stream_.avail_out, status == BZ_STREAM_END};
  }

  // libbz2 has no reset: a stream's state ends with the stream.
  void next_frame() override {
    BZ2_bzDecompressEnd(&stream_);
    start();
  }

 private:
  void start() {
    stream_ = bz_stream{};
    // Only memory can fail here: the parameters are fixed and valid.
    if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) throw std::bad_alloc();
  }

  bz_stream stream_{};
};

}  // namespace

std::unique_ptr<Decompressor> detail::make_bzip2_decompressor() { return std::make_unique<Bzip2Decompressor>(); }

}  // namespace kiroku
