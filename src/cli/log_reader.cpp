#include "cli/log_reader.h"

#include <fcntl.h>     // open, fcntl
#include <sys/stat.h>  // fstat
#include <unistd.h>    // STDIN_FILENO, lseek

#include <cerrno>
#include <utility>

#include "cli/errno_text.h"
#include "kiroku/io/descriptors.h"
#include "kiroku/io/file_reader.h"
#include "kiroku/io/unique_fd.h"

namespace kiroku::cli {
namespace {

std::string describe(const LogFileError& error, std::size_t max_bytes, const Reservation& reservation,
                     const MemoryBudget& budget) {
  switch (error.kind) {
    case LogFileError::Kind::Read: return "read: " + errno_text(error.error_number);
    case LogFileError::Kind::TooLarge: {
      if (error.room_refused && reservation.refusal() == Reservation::Refusal::Stopped) {
        return "read: " + errno_text(ECANCELED);
      }
      const std::string limit = error.room_refused ? "the memory budget of " + size_text(budget.bytes()) + " (--memory)"
                                                   : "the size limit of " + size_text(max_bytes) + " (--max-size)";
      return (error.codec ? std::string(codec_name(*error.codec)) + ": decompressed text" : std::string("read:")) +
             " larger than " + limit;
    }
    case LogFileError::Kind::Corrupt: return codec_name(*error.codec) + (": " + error.detail);
    case LogFileError::Kind::InvalidUtf8: return "read: stream did not contain valid UTF-8";
  }
  return "read: failed";
}

// A log's descriptor, ready to be read.
struct OpenLog {
  UniqueFd owned;  // none for standard input, which is not ours to close, nor to change the flags of
  int fd = STDIN_FILENO;
  off_t start = -1;  // where the text starts in a regular file, which can be read again; -1 for a stream
};

std::expected<OpenLog, std::string> open_log(const LogSource& source) {
  OpenLog log;
  if (!source.standard_input) {
    // Never waiting in open: a FIFO without a writer must not stop the run
    // before its turn comes.
    auto opened = open_file(source.path.native(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (!opened) return std::unexpected("open: " + errno_text(opened.error()));
    log.owned = std::move(*opened);
    log.fd = log.owned.get();
  }
  struct stat info{};
  const bool known = ::fstat(log.fd, &info) == 0;  // standard input's failure shows when it is read
  if (!source.standard_input) {
    if (!known) return std::unexpected("open: " + errno_text(errno));
    if (S_ISDIR(info.st_mode)) return std::unexpected("open: " + errno_text(EISDIR));
    if (!S_ISREG(info.st_mode)) {
      // Replaced since the directory was listed.
      if (source.found_in_directory) return std::unexpected(std::string("open: not a regular file"));
      // Waits are the reader's, watched with the cancel descriptor.
      const int flags = ::fcntl(log.fd, F_GETFL);
      if (flags < 0 || ::fcntl(log.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return std::unexpected("open: " + errno_text(errno));
      }
    }
  }
  if (known && S_ISREG(info.st_mode)) log.start = ::lseek(log.fd, 0, SEEK_CUR);
  return log;
}

// Reads with `read(room)` within the budget, from the start again (after
// `rewind()`, false with errno set when it cannot) whenever the budget asks.
template <typename Read, typename Rewind>
std::expected<LogText, std::string> read_within(bool stream, std::size_t max_bytes, MemoryBudget& budget, Read read,
                                                Rewind rewind) {
  auto reservation = Reservation::take(budget, stream);
  if (!reservation) return std::unexpected("read: " + errno_text(reservation.error()));
  for (;;) {
    auto text = read(&*reservation);
    if (text) {
      reservation->keep(text->size() + PaddedText::kPadding);
      return LogText{std::move(*text), std::move(*reservation)};
    }
    if (!text.error().room_refused || reservation->refusal() != Reservation::Refusal::Restart) {
      return std::unexpected(describe(text.error(), max_bytes, *reservation, budget));
    }
    if (!reservation->restart()) return std::unexpected("read: " + errno_text(ECANCELED));
    if (!rewind()) return std::unexpected("read: " + errno_text(errno));
  }
}

}  // namespace

std::expected<LogText, std::string> read_log(const LogSource& source, std::size_t max_bytes, int cancel_fd,
                                             MemoryBudget& budget) {
  auto log = open_log(source);
  if (!log) return std::unexpected(std::move(log.error()));
  return read_within(
      log->start < 0, max_bytes, budget,
      [&](TextRoom* room) { return read_log_text(log->fd, max_bytes, cancel_fd, room); },
      [&] { return ::lseek(log->fd, log->start, SEEK_SET) >= 0; });
}

std::expected<LogText, std::string> read_stored_log(std::string_view bytes, std::size_t max_bytes,
                                                    MemoryBudget& budget) {
  return read_within(
      false, max_bytes, budget, [&](TextRoom* room) { return log_text_from_bytes(bytes, max_bytes, room); },
      [] { return true; });
}

}  // namespace kiroku::cli
