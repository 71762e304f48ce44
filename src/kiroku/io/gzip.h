// Gzip framing through zlib, for log files that arrive compressed and for
// the tool's compressed output.  No zlib type appears here: only gzip.cpp
// includes the library.
#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace kiroku {

// Whether the bytes start with the gzip magic number 1f 8b.
bool has_gzip_magic(std::string_view bytes) noexcept;

// One gzip member holding `plain`, at zlib's default level.  The header holds
// no name and no time, so equal input gives equal bytes.  The error is zlib's
// reason ("out of memory").
[[nodiscard]] std::expected<std::string, std::string> gzip(std::string_view plain);

// The decompression of a gzip stream handed over in pieces, so that a file
// is never held whole in both forms.  The caller checks what follows the end
// of a member (another member, or nothing) and calls next_member().
class GzipInflater {
 public:
  struct Step {
    std::size_t consumed = 0;  // bytes taken from the input
    std::size_t produced = 0;  // bytes written to the output
    bool member_ended = false;
  };

  // Throws std::bad_alloc when zlib cannot get its state.
  GzipInflater();
  GzipInflater(const GzipInflater&) = delete;
  GzipInflater& operator=(const GzipInflater&) = delete;
  ~GzipInflater();

  // Inflates from `input` into `output` as far as both allow, stopping at the
  // end of a member.  A step that neither consumes nor produces needs more
  // input or more room.  The error is zlib's reason for corrupt data
  // ("invalid block type", "incorrect header check") or "out of memory".
  [[nodiscard]] std::expected<Step, std::string> inflate(std::string_view input, std::span<char> output);

  // Starts over for the member that follows the one that ended.
  void next_member() noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kiroku
