// The compressed forms a log file may take, told apart by their first bytes,
// and one streaming interface over each codec's library.  No library type
// appears here: each codec's .cpp is the only one that includes its library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kiroku {

enum class Codec : std::uint8_t { Gzip, Bzip2, Lz4, Zstd, Xz };

// The name people know the codec by, as messages show it: "gzip", "bzip2",
// "lz4", "zstd", "xz".
const char* codec_name(Codec codec) noexcept;

// How many first bytes always suffice to tell the codec (xz's magic number
// is the longest).
inline constexpr std::size_t kMagicLength = 6;

// Whether `bytes` start a frame of `codec` (a gzip member, a bzip2 or xz
// stream); for lz4 and zstd a skippable frame counts too.  Fewer bytes than
// the codec's magic number never do.
bool starts_frame(Codec codec, std::string_view bytes) noexcept;

// The codec whose frame `bytes` start, or none for plain text.  Skippable
// frames are common to lz4 and zstd; a stream that opens with one is taken
// for zstd's, as pzstd writes one before each frame.
std::optional<Codec> codec_of(std::string_view bytes) noexcept;

// Whether a stream of `codec` may hold runs of zero bytes between and after
// its frames, in groups of four (xz's stream padding).
bool pads_with_zeros(Codec codec) noexcept;

// One codec's decompression of a stream handed over in pieces, so that a
// file is never held whole in both forms.  The caller checks what follows
// the end of a frame (another one, or nothing) and calls next_frame().
class Decompressor {
 public:
  struct Step {
    std::size_t consumed = 0;  // bytes taken from the input
    std::size_t produced = 0;  // bytes written to the output
    bool frame_ended = false;  // the frame is whole and all its text is out
  };

  virtual ~Decompressor() = default;

  // Decompresses from `input` into `output` as far as both allow, stopping
  // at the end of a frame.  A step that neither consumes nor produces needs
  // more input or more room.  The error is the library's reason for corrupt
  // data, in lower case ("invalid block type", "data integrity error"), or
  // "out of memory".
  [[nodiscard]] virtual std::expected<Step, std::string> decompress(std::string_view input, std::span<char> output) = 0;

  // Starts over for the frame that follows the one that ended.  Throws
  // std::bad_alloc when a library that starts each frame anew cannot get
  // its state.
  virtual void next_frame() = 0;
};

// A decompressor for `codec` that refuses frames whose window would take
// much more memory than a text of `max_bytes` needs.  Throws std::bad_alloc
// when the library cannot get its state.
std::unique_ptr<Decompressor> make_decompressor(Codec codec, std::size_t max_bytes);

namespace detail {

// Each codec's own file; `memory_limit` bounds the window a frame may ask
// for, where the format lets a frame choose it.
std::unique_ptr<Decompressor> make_gzip_decompressor();
std::unique_ptr<Decompressor> make_bzip2_decompressor();
std::unique_ptr<Decompressor> make_lz4_decompressor();
std::unique_ptr<Decompressor> make_zstd_decompressor(std::size_t memory_limit);
std::unique_ptr<Decompressor> make_xz_decompressor(std::size_t memory_limit);

}  // namespace detail
}  // namespace kiroku
