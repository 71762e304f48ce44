// Reading one log's text, within the memory budget.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "cli/input_files.h"
#include "cli/memory_budget.h"
#include "kiroku/io/padded_text.h"

namespace kiroku::cli {

struct LogText {
  PaddedText text;
  Reservation reservation;  // what the job holds for the text until it ends
};

// The text of one log, decompressed when it starts with the magic bytes of
// gzip, bzip2, lz4, zstd or xz (whatever its name), at most `max_bytes` long,
// and valid UTF-8 as a whole, its memory taken from `budget`.  A FIFO or a
// device is read as a stream; its waits, and the budget's, end when
// `cancel_fd` becomes readable.  A log found in a directory that is no longer
// a regular file is refused without waiting on it.  The error is one line
// for people: "open: No such file or directory", "gzip: unexpected end of
// file" (the codec, then its reason), "read: larger than the size limit of 1
// GiB (--max-size)", "xz: decompressed text larger than ...", "read: larger
// than the memory budget of 8 GiB (--memory)".
[[nodiscard]] std::expected<LogText, std::string> read_log(const LogSource& source, std::size_t max_bytes,
                                                           int cancel_fd, MemoryBudget& budget);

// The same for a log stored in memory (a database row's cell).
[[nodiscard]] std::expected<LogText, std::string> read_stored_log(std::string_view bytes, std::size_t max_bytes,
                                                                  MemoryBudget& budget);

}  // namespace kiroku::cli
