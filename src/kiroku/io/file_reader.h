// Reading a log file whole into a PaddedText, for the front ends that take
// logs from files: plain or compressed text, with one cap on its size.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kiroku/io/decompressor.h"
#include "kiroku/io/padded_text.h"

namespace kiroku {

// The cap both front ends apply unless told otherwise.  A game's log is well
// under a megabyte: the cap only keeps a wrong input (a device, a crafted
// compressed file that expands a thousandfold) from taking the machine's memory.
inline constexpr std::size_t kDefaultMaxLogBytes = std::size_t{1} << 30;
// Larger caps are lowered to this one; no machine holds such a log anyway.
inline constexpr std::size_t kLargestMaxLogBytes = std::size_t{1} << 40;

struct LogFileError {
  enum class Kind {
    Read,         // a read failed; error_number says why (ECANCELED: the cancel descriptor fired)
    TooLarge,     // the text exceeds the cap; `codec` is set when it is a decompressed text that does
    Corrupt,      // the data of `codec` is corrupt or cut short; `detail` says how
    InvalidUtf8,  // the text as a whole is not UTF-8
  };
  Kind kind = Kind::Read;
  int error_number = 0;
  std::optional<Codec> codec;
  std::string detail;  // "unexpected end of file", "invalid block type"
  // TooLarge only: longer than the room the caller's TextRoom granted, not
  // than the cap.
  bool room_refused = false;
};

// A size as people read caps: "1 GiB", "512 KiB", or "1000 bytes" when it is
// no whole number of larger units.
std::string size_text(std::size_t bytes);

// Lets a caller cap the memory its reads hold together.  The reader asks
// before the text's buffer grows past its first 64 KiB; what else a read
// holds does not grow with the text (64 KiB of compressed input, a codec's
// state and window).
class TextRoom {
 public:
  // Room for the buffer to grow to at least `needed` bytes, and to `wanted`
  // (never less than `needed`) where there is room: the size granted, from
  // `needed` to `wanted`, or 0 to refuse, which ends the read as
  // TooLarge with `room_refused`.  May wait.
  virtual std::size_t grow(std::size_t needed, std::size_t wanted) = 0;

 protected:
  ~TextRoom() = default;
};

// The text of the log that is left to read from `fd`: decompressed when it
// starts with the magic bytes of gzip, bzip2, lz4, zstd or xz (one frame or
// several, as `cat a.gz b.gz` makes them, and nothing after the last but
// xz's stream padding), otherwise as it is.  Refused when
// it is longer than `max_bytes` (a regular file whose size says so, without
// reading it) or, as a whole, not UTF-8.  Pipes, devices and files that grow
// while they are read are read to their end all the same; a FIFO opened
// without waiting for its writer is waited for.  When `cancel_fd` is given,
// such waits end as soon as it becomes readable (a stop request), with
// ECANCELED.  EINTR is retried.  With a `room`, the buffer only grows as far
// as it grants.
[[nodiscard]] std::expected<PaddedText, LogFileError> read_log_text(int fd, std::size_t max_bytes, int cancel_fd = -1,
                                                                    TextRoom* room = nullptr);

// The same for the bytes of a log file already in memory.
[[nodiscard]] std::expected<PaddedText, LogFileError> log_text_from_bytes(std::string_view bytes, std::size_t max_bytes,
                                                                          TextRoom* room = nullptr);

}  // namespace kiroku
