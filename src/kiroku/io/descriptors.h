// POSIX descriptor calls as both front ends make them: retried when a signal
// interrupts them, and writes that take every byte or say why not.
#pragma once

#include <sys/types.h>  // mode_t

#include <expected>
#include <string_view>

#include "kiroku/io/unique_fd.h"

namespace kiroku {

// open(2) with O_CLOEXEC added, tried again when a signal interrupts it:
// the descriptor, or the errno value.  A path holding a NUL byte names no
// file and fails with EINVAL.
[[nodiscard]] std::expected<UniqueFd, int> open_file(std::string_view path, int flags, mode_t mode = 0);

// The same through openat(2): `path` relative to the directory open on
// `directory` (any descriptor of it, O_PATH included; AT_FDCWD for the
// working directory), so that a path of any length can be walked a name at
// a time.
[[nodiscard]] std::expected<UniqueFd, int> open_file_at(int directory, std::string_view path, int flags,
                                                        mode_t mode = 0);

// Until `fd` takes more bytes: 0, the errno value of poll, or ECANCELED
// once `cancel_fd` (when not -1) is readable.
[[nodiscard]] int wait_for_room(int fd, int cancel_fd) noexcept;

// Writes all of `bytes` to `fd`: 0, or the errno value of the write that
// failed (EIO for one that takes nothing and says nothing).  A descriptor
// made non-blocking by someone else (a shared standard output) is waited
// for; with a cancel descriptor every write waits in poll first, so that a
// reader that stops reading cannot hold the caller past a stop request.
[[nodiscard]] int write_all(int fd, std::string_view bytes, int cancel_fd = -1) noexcept;

}  // namespace kiroku
