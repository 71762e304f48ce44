// Operating-system error numbers as text for diagnostics.
#pragma once

#include <string>
#include <system_error>

namespace kiroku::cli {

// "No such file or directory"; safe to call from several threads at once,
// unlike strerror.
inline std::string errno_text(int error) { return std::generic_category().message(error); }

}  // namespace kiroku::cli
