// Operating-system error numbers as text for diagnostics.
#pragma once

#include <cerrno>
#include <string>
#include <system_error>

namespace kiroku::cli {

// "No such file or directory"; safe to call from several threads at once,
// unlike strerror.  ECANCELED is what the tool's own waits on FIFOs and
// devices report when the run stops, and says so.
inline std::string errno_text(int error) {
  if (error == ECANCELED) return "given up, the run is stopping";
  return std::generic_category().message(error);
}

}  // namespace kiroku::cli
