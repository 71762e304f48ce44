#include "kiroku/io/file_reader.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>  // memcpy, memmove, memset
#include <memory>
#include <span>
#include <utility>

#include "kiroku/io/decompressor.h"
#include "kiroku/io/utf8.h"

namespace kiroku {

namespace {

// Capacity for texts whose size fstat does not tell (pipes, /proc files).
constexpr std::size_t kUnknownSizeCapacity = 16 * 1024;
// Room for compressed input between reads, and for looking at a file too
// large to be plain text before refusing it.
constexpr std::size_t kInputChunk = 64 * 1024;

std::unexpected<LogFileError> read_failure(int error_number) {
  return std::unexpected(LogFileError{LogFileError::Kind::Read, error_number, std::nullopt, {}});
}

std::unexpected<LogFileError> too_large(std::optional<Codec> codec) {
  return std::unexpected(LogFileError{LogFileError::Kind::TooLarge, 0, codec, {}});
}

// One descriptor, or bytes already in memory, read piece by piece.  A
// descriptor that is not a regular file is waited for in poll before each
// read: a FIFO opened before its writer came reads as ended until one does,
// and a descriptor left non-blocking by whoever opened it (a shared standard
// input) would fail with EAGAIN.
class Source {
 public:
  Source(int fd, bool regular, int cancel_fd) noexcept
      : fd_(fd), cancel_fd_(regular ? -1 : cancel_fd), wait_first_(!regular) {}
  explicit Source(std::string_view bytes) noexcept : memory_(bytes) {}

  // Bytes read into `into` (0 at the end), or the errno value.
  std::expected<std::size_t, int> read(std::span<char> into) noexcept {
    if (fd_ < 0) {
      const std::size_t count = std::min(into.size(), memory_.size());
      std::memcpy(into.data(), memory_.data(), count);
      memory_.remove_prefix(count);
      return count;
    }
    for (;;) {
      if (wait_first_) {
        if (const int error = wait(); error != 0) return std::unexpected(error);
      }
      const ssize_t count = ::read(fd_, into.data(), into.size());
      if (count >= 0) return static_cast<std::size_t>(count);
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return std::unexpected(errno);
      if (!wait_first_) {
        if (const int error = wait(); error != 0) return std::unexpected(error);
      }
    }
  }

 private:
  // Until the descriptor has something to say (data, its end, an error):
  // 0, or ECANCELED once the cancel descriptor is readable.
  int wait() const noexcept {
    std::array<pollfd, 2> watched = {{{fd_, POLLIN, 0}, {cancel_fd_, POLLIN, 0}}};
    const nfds_t count = cancel_fd_ >= 0 ? 2 : 1;
    while (::poll(watched.data(), count, -1) < 0) {
      if (errno != EINTR) return errno;
    }
    return count == 2 && watched[1].revents != 0 ? ECANCELED : 0;
  }

  int fd_ = -1;         // -1: the bytes in memory_
  int cancel_fd_ = -1;  // -1: none
  bool wait_first_ = false;
  std::string_view memory_;
};

// Grows `text` to at least `needed` bytes and to `wanted` where `room`
// allows; false when it refuses.
bool grow(PaddedText& text, std::size_t needed, std::size_t wanted, TextRoom* room) {
  std::size_t size = wanted;
  if (room != nullptr) {
    size = std::min(room->grow(needed, wanted), wanted);
    if (size < needed) return false;
  }
  text.resize(size);
  return true;
}

std::unexpected<LogFileError> no_room(std::optional<Codec> codec) {
  return std::unexpected(LogFileError{LogFileError::Kind::TooLarge, 0, codec, {}, true});
}

// The next buffer size on the way to the cap: doubling, then the cap plus
// one byte, the first byte that proves the text too long.
std::size_t next_size(std::size_t size, std::size_t max_bytes) noexcept {
  return size > max_bytes / 2 ? max_bytes + 1 : size * 2;
}

// The slack of the last doubling goes back; the reader scans into the
// padding, which resize zeroes.
std::expected<PaddedText, LogFileError> finished(PaddedText text, std::size_t filled) {
  text.resize(filled);
  if (!is_valid_utf8(text.view())) {
    return std::unexpected(LogFileError{LogFileError::Kind::InvalidUtf8, 0, std::nullopt, {}});
  }
  return text;
}

// Decompresses a stream of `codec` whose first `filled` bytes are in
// `input`; the rest comes from `source` through the same buffer.
// `compressed_size` is 0 when unknown.
std::expected<PaddedText, LogFileError> decompress_log(Codec codec, Source& source, PaddedText input,
                                                       std::size_t filled, std::size_t compressed_size,
                                                       std::size_t max_bytes, TextRoom* room) {
  const auto corrupt = [codec](std::string detail) {
    return std::unexpected(LogFileError{LogFileError::Kind::Corrupt, 0, codec, std::move(detail)});
  };
  input.resize(kInputChunk);
  std::size_t in_pos = 0;
  std::size_t in_end = filled;
  bool at_end = false;
  // Reads more input after the `in_end - in_pos` bytes not yet taken, which
  // move to the front.
  const auto read_more = [&]() -> std::expected<void, int> {
    std::memmove(input.data(), input.data() + in_pos, in_end - in_pos);
    in_end -= in_pos;
    in_pos = 0;
    auto count = source.read(std::span<char>(input.data() + in_end, input.size() - in_end));
    if (!count) return std::unexpected(count.error());
    at_end = *count == 0;
    in_end += *count;
    return {};
  };
  const auto rest = [&] { return std::string_view(input.data() + in_pos, in_end - in_pos); };

  // Text compresses four to ten times; start near the expected size.
  const std::size_t hint = std::min(compressed_size, max_bytes);
  const std::size_t first_size = std::min(hint > 0 ? std::max(hint, kInputChunk / 8) * 8 : kInputChunk, max_bytes + 1);
  PaddedText out;
  if (!grow(out, std::min(first_size, kInputChunk), first_size, room)) return no_room(codec);
  std::size_t produced = 0;
  const std::unique_ptr<Decompressor> decompressor = make_decompressor(codec, max_bytes);
  for (;;) {
    if (in_pos == in_end && !at_end) {
      if (auto more = read_more(); !more) return read_failure(more.error());
    }
    if (produced == out.size()) {
      if (out.size() > max_bytes) return too_large(codec);
      if (!grow(out, out.size() + 1, next_size(out.size(), max_bytes), room)) return no_room(codec);
    }
    auto step = decompressor->decompress(rest(), std::span<char>(out.data() + produced, out.size() - produced));
    if (!step) return corrupt(std::move(step.error()));
    in_pos += step->consumed;
    produced += step->produced;

    if (step->frame_ended) {
      // Zero bytes in fours where the codec pads, then another frame or
      // nothing at all.
      std::size_t padding = 0;
      while (pads_with_zeros(codec)) {
        for (; in_pos < in_end && input.data()[in_pos] == '\0'; ++in_pos) ++padding;
        if (in_pos < in_end || at_end) break;
        if (auto more = read_more(); !more) return read_failure(more.error());
      }
      if (padding % 4 != 0) return corrupt("stream padding is not a multiple of four bytes");
      while (in_end - in_pos < kMagicLength && !at_end) {
        if (auto more = read_more(); !more) return read_failure(more.error());
      }
      if (in_pos == in_end) break;
      if (!starts_frame(codec, rest())) return corrupt("unexpected data after the compressed stream");
      decompressor->next_frame();
      continue;
    }
    if (step->consumed == 0 && step->produced == 0) {
      // Every library takes whatever input it is offered, so a stall with
      // the input buffer full cannot happen; should it, the data counts as
      // cut short rather than spin.
      if (at_end || (in_pos == 0 && in_end == input.size())) return corrupt("unexpected end of file");
      if (auto more = read_more(); !more) return read_failure(more.error());
    }
  }
  if (produced > max_bytes) return too_large(codec);
  return finished(std::move(out), produced);
}

// The whole text `source` holds; `file_size` is 0 when unknown.
std::expected<PaddedText, LogFileError> read_whole(Source& source, std::size_t file_size, std::size_t max_bytes,
                                                   TextRoom* room) {
  max_bytes = std::min(max_bytes, kLargestMaxLogBytes);

  // The first read tells compressed from plain text, into a buffer that
  // becomes a compressed log's input buffer: one input chunk at most, enough
  // to look at a file too large to be plain text before refusing it.  A
  // plain file then gets room for all of it plus one byte, so that the read
  // that meets the end of an unchanged file is the last.
  const std::size_t whole = file_size > 0 && file_size <= max_bytes ? file_size + 1 : 0;
  std::size_t size = std::max(std::min(kUnknownSizeCapacity, max_bytes + 1), kMagicLength);
  if (file_size > 0) size = std::min(file_size + 1, kInputChunk);
  PaddedText text = PaddedText::with_size(size);
  std::size_t filled = 0;
  while (filled < kMagicLength) {
    auto count = source.read(std::span<char>(text.data() + filled, text.size() - filled));
    if (!count) return read_failure(count.error());
    if (*count == 0) break;
    filled += *count;
  }
  if (const auto codec = codec_of(std::string_view(text.data(), filled))) {
    return decompress_log(*codec, source, std::move(text), filled, file_size, max_bytes, room);
  }
  if (file_size > max_bytes) return too_large(std::nullopt);

  for (;;) {
    if (filled == text.size()) {
      // The file is larger than the first read, grew since fstat, or its
      // size was unknown.
      if (text.size() > max_bytes) return too_large(std::nullopt);
      const bool known = filled < whole;
      const std::size_t wanted = known ? whole : next_size(text.size(), max_bytes);
      if (!grow(text, known ? whole : text.size() + 1, wanted, room)) return no_room(std::nullopt);
    }
    auto count = source.read(std::span<char>(text.data() + filled, text.size() - filled));
    if (!count) return read_failure(count.error());
    if (*count == 0) break;
    filled += *count;
  }
  if (filled > max_bytes) return too_large(std::nullopt);
  return finished(std::move(text), filled);
}

}  // namespace

std::string size_text(std::size_t bytes) {
  constexpr std::array<std::pair<unsigned, const char*>, 4> kUnits = {{
      {40, " TiB"},
      {30, " GiB"},
      {20, " MiB"},
      {10, " KiB"},
  }};
  for (const auto& [shift, unit] : kUnits) {
    const std::size_t size = std::size_t{1} << shift;
    if (bytes >= size && bytes % size == 0) return std::to_string(bytes >> shift) + unit;
  }
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::expected<PaddedText, LogFileError> read_log_text(int fd, std::size_t max_bytes, int cancel_fd, TextRoom* room) {
  struct stat status{};
  const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  Source source(fd, regular, cancel_fd);
  return read_whole(source, regular && status.st_size > 0 ? static_cast<std::size_t>(status.st_size) : 0, max_bytes,
                    room);
}

std::expected<PaddedText, LogFileError> log_text_from_bytes(std::string_view bytes, std::size_t max_bytes,
                                                            TextRoom* room) {
  Source source(bytes);
  return read_whole(source, bytes.size(), max_bytes, room);
}

}  // namespace kiroku
