// The LZ4 Decompressor, through liblz4's frame format (not the legacy one).
#include <lz4frame.h>

#include <cctype>
#include <new>

#include "kiroku/io/decompressor.h"

namespace kiroku {
namespace {

// liblz4 names its errors as identifiers ("ERROR_contentChecksum_invalid");
// they read as words once split: "content checksum invalid".
std::string lz4_failure(LZ4F_errorCode_t code) {
  std::string_view name = LZ4F_getErrorName(code);
  if (name.starts_with("ERROR_")) name.remove_prefix(6);
  std::string words;
  for (const char c : name) {
    if (c == '_') {
      words += ' ';
    } else if (std::isupper(static_cast<unsigned char>(c)) != 0) {
      words += ' ';
      words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      words += c;
    }
  }
  if (words == "allocation failed") return "out of memory";
  return words;
}

class Lz4Decompressor final : public Decompressor {
 public:
  Lz4Decompressor() {
    if (LZ4F_isError(LZ4F_createDecompressionContext(&context_, LZ4F_VERSION))) throw std::bad_alloc();
  }
  Lz4Decompressor(const Lz4Decompressor&) = delete;
  Lz4Decompressor& operator=(const Lz4Decompressor&) = delete;
  ~Lz4Decompressor() override { LZ4F_freeDecompressionContext(context_); }

  std::expected<Step, std::string> decompress(std::string_view input, std::span<char> output) override {
    std::size_t consumed = input.size();
    std::size_t produced = output.size();
    // 0 once the frame is whole and flushed: liblz4 stops there exactly.
    const std::size_t hint = LZ4F_decompress(context_, output.data(), &produced, input.data(), &consumed, nullptr);
    if (LZ4F_isError(hint)) return std::unexpected(lz4_failure(hint));
    return Step{consumed, produced, hint == 0};
  }

  void next_frame() noexcept override { LZ4F_resetDecompressionContext(context_); }

 private:
  LZ4F_dctx* context_ = nullptr;
};

}  // namespace

std::unique_ptr<Decompressor> detail::make_lz4_decompressor() { return std::make_unique<Lz4Decompressor>(); }

}  // namespace kiroku
