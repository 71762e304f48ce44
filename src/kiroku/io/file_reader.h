// Reading a whole file into a PaddedText, for the front ends that take logs
// from files.
#pragma once

#include <expected>

#include "kiroku/io/padded_text.h"

namespace kiroku {

// Everything that is left to read from `fd`, with the slack after it zeroed.
// The size fstat reports sizes the first buffer; files that grow while they
// are read, pipes and /proc files are read to their end all the same.
// Fails with the errno value of the first failed read (EINTR is retried).
[[nodiscard]] std::expected<PaddedText, int> read_whole_file(int fd);

}  // namespace kiroku
