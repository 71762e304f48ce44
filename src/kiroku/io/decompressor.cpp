#include "kiroku/io/decompressor.h"

#include <algorithm>
#include <array>

namespace kiroku {
namespace {

// Indexed by Codec.
constexpr std::array<const char*, 5> kNames = {"gzip", "bzip2", "lz4", "zstd", "xz"};
static_assert(kNames.size() == static_cast<std::size_t>(Codec::Xz) + 1);

// zstd before lz4: a shared skippable frame is taken for zstd's.
constexpr std::array<Codec, 5> kDetectionOrder = {Codec::Gzip, Codec::Bzip2, Codec::Zstd, Codec::Lz4, Codec::Xz};

// Enough for the tools' usual windows (zstd up to level 19, xz up to -6)
// whatever the cap, and never more than zstd's own default limit.
constexpr std::size_t kLeastWindowMemory = std::size_t{16} << 20;
constexpr std::size_t kMostWindowMemory = std::size_t{128} << 20;

unsigned char byte_at(std::string_view bytes, std::size_t i) noexcept { return static_cast<unsigned char>(bytes[i]); }

// Frames of any content that lz4 and zstd decoders pass over: magic numbers
// 0x184D2A50 to 0x184D2A5F, little-endian.
bool starts_skippable_frame(std::string_view bytes) noexcept {
  return bytes.size() >= 4 && (byte_at(bytes, 0) & 0xf0) == 0x50 && bytes.substr(1, 3) == "\x2a\x4d\x18";
}

}  // namespace

const char* codec_name(Codec codec) noexcept { return kNames[static_cast<std::size_t>(codec)]; }

bool starts_frame(Codec codec, std::string_view bytes) noexcept {
  using namespace std::string_view_literals;
  switch (codec) {
    case Codec::Gzip: return bytes.starts_with("\x1f\x8b"sv);
    case Codec::Bzip2: return bytes.size() >= 4 && bytes.starts_with("BZh"sv) && bytes[3] >= '1' && bytes[3] <= '9';
    case Codec::Lz4: return bytes.starts_with("\x04\x22\x4d\x18"sv) || starts_skippable_frame(bytes);
    case Codec::Zstd: return bytes.starts_with("\x28\xb5\x2f\xfd"sv) || starts_skippable_frame(bytes);
    case Codec::Xz: return bytes.starts_with("\xfd\x37\x7a\x58\x5a\x00"sv);
  }
  return false;
}

std::optional<Codec> codec_of(std::string_view bytes) noexcept {
  const auto* found =
      std::ranges::find_if(kDetectionOrder, [bytes](Codec codec) { return starts_frame(codec, bytes); });
  if (found == kDetectionOrder.end()) return std::nullopt;
  return *found;
}

bool pads_with_zeros(Codec codec) noexcept { return codec == Codec::Xz; }

std::unique_ptr<Decompressor> make_decompressor(Codec codec, std::size_t max_bytes) {
  // A window larger than the whole text it may produce is of no use to it.
  const std::size_t memory_limit = std::clamp(max_bytes, kLeastWindowMemory, kMostWindowMemory);
  switch (codec) {
    case Codec::Gzip: return detail::make_gzip_decompressor();
    case Codec::Bzip2: return detail::make_bzip2_decompressor();
    case Codec::Lz4: return detail::make_lz4_decompressor();
    case Codec::Zstd: return detail::make_zstd_decompressor(memory_limit);
    case Codec::Xz: return detail::make_xz_decompressor(memory_limit);
  }
  return nullptr;
}

}  // namespace kiroku
