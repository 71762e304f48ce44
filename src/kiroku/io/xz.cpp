// The xz Decompressor, through liblzma.  One stream at a time: the caller
// passes over the stream padding between streams.
#include <lzma.h>

#include <cstdint>
#include <new>

#include "kiroku/io/decompressor.h"

namespace kiroku {
namespace {

// liblzma has codes but no texts; these follow the xz tool's wording.
std::string xz_failure(lzma_ret status) {
  switch (status) {
    case LZMA_MEM_ERROR: return "out of memory";
    case LZMA_MEMLIMIT_ERROR: return "memory usage limit reached";
    case LZMA_FORMAT_ERROR: return "file format not recognized";
    case LZMA_OPTIONS_ERROR: return "unsupported options";
    case LZMA_DATA_ERROR: return "compressed data is corrupt";
    default: return "corrupt data";
  }
}

class XzDecompressor final : public Decompressor {
 public:
  explicit XzDecompressor(std::size_t memory_limit) : memory_limit_(memory_limit) { start(); }
  XzDecompressor(const XzDecompressor&) = delete;
  XzDecompressor& operator=(const XzDecompressor&) = delete;
  ~XzDecompressor() override { lzma_end(&stream_); }

  std::expected<Step, std::string> decompress(std::string_view input, std::span<char> output) override {
    stream_.next_in = reinterpret_cast<const std::uint8_t*>(input.data());
    stream_.avail_in = input.size();
    stream_.next_out = reinterpret_cast<std::uint8_t*>(output.data());
    stream_.avail_out = output.size();
    const lzma_ret status = lzma_code(&stream_, LZMA_RUN);
    // LZMA_BUF_ERROR only says that no progress was possible.
    if (status != LZMA_OK && status != LZMA_STREAM_END && status != LZMA_BUF_ERROR) {
      return std::unexpected(xz_failure(status));
    }
    return Step{input.size() - stream_.avail_in, output.size() - stream_.avail_out, status == LZMA_STREAM_END};
  }

  // Initialising a stream in use starts it over, keeping what it can reuse.
  void next_frame() override { start(); }

 private:
  void start() {
    // Without flags: one stream, its check verified when liblzma knows it.
    if (lzma_stream_decoder(&stream_, memory_limit_, 0) != LZMA_OK) throw std::bad_alloc();
  }

  lzma_stream stream_{};  // all zero, as LZMA_STREAM_INIT
  std::uint64_t memory_limit_;
};

}  // namespace

std::unique_ptr<Decompressor> detail::make_xz_decompressor(std::size_t memory_limit) {
  return std::make_unique<XzDecompressor>(memory_limit);
}

}  // namespace kiroku
