// The zstd Decompressor, through libzstd's streaming API.
#include <zstd.h>
#include <zstd_errors.h>

#include <bit>
#include <cctype>
#include <new>

#include "kiroku/io/decompressor.h"

namespace kiroku {
namespace {

// libzstd's texts are sentences ("Data corruption detected"); ours start in
// lower case, as zlib's do.
std::string zstd_failure(std::size_t code) {
  if (ZSTD_getErrorCode(code) == ZSTD_error_memory_allocation) return "out of memory";
  std::string text = ZSTD_getErrorName(code);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

class ZstdDecompressor final : public Decompressor {
 public:
  explicit ZstdDecompressor(std::size_t memory_limit) : context_(ZSTD_createDCtx()) {
    if (context_ == nullptr) throw std::bad_alloc();
    // The largest window within the limit; a frame that asks for more is
    // refused before its window is allocated.
    const int window_log = static_cast<int>(std::bit_width(memory_limit)) - 1;
    ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, window_log);
  }
  ZstdDecompressor(const ZstdDecompressor&) = delete;
  ZstdDecompressor& operator=(const ZstdDecompressor&) = delete;
  ~ZstdDecompressor() override { ZSTD_freeDCtx(context_); }

  std::expected<Step, std::string> decompress(std::string_view input, std::span<char> output) override {
    ZSTD_inBuffer in{input.data(), input.size(), 0};
    ZSTD_outBuffer out{output.data(), output.size(), 0};
    // 0 once the frame is whole and flushed; libzstd stops there.
    const std::size_t hint = ZSTD_decompressStream(context_, &out, &in);
    if (ZSTD_isError(hint)) return std::unexpected(zstd_failure(hint));
    return Step{in.pos, out.pos, hint == 0};
  }

  void next_frame() noexcept override { ZSTD_DCtx_reset(context_, ZSTD_reset_session_only); }

 private:
  ZSTD_DCtx* context_;
};

}  // namespace

std::unique_ptr<Decompressor> detail::make_zstd_decompressor(std::size_t memory_limit) {
  return std::make_unique<ZstdDecompressor>(memory_limit);
}

}  // namespace kiroku
