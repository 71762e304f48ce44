// The progress bar and the summary line, as text; the caller decides where
// they go (the bar only to a terminal).
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "cli/batch.h"

namespace kiroku::cli {

using Clock = std::chrono::steady_clock;

class ProgressBar {
 public:
  explicit ProgressBar(Clock::time_point start) noexcept : start_(start) {}

  // The bar to draw now, or nothing when the last one is too recent (it is
  // redrawn at most ten times a second, and always for the last log or when
  // `force`d, after it was erased).  The
  // text starts with a carriage return and ends by clearing the rest of the
  // line, without a line feed:
  // "[########------------]  812/2000 logs, 3 failed, 405.2 logs/s, 0:03 left".
  std::optional<std::string> update(const BatchTotals& totals, Clock::time_point now, bool force = false);

  // Text that erases the bar, so that other lines can be written.
  static std::string_view erase() noexcept { return "\r\x1b[K"; }

 private:
  Clock::time_point start_;
  std::optional<Clock::time_point> last_drawn_;
};

// "kiroku: 1998 logs converted, 2 failed, 1234567 events written, 3.21 s"
// (with ", 5 skipped (three-player game: 3, not downloaded: 2)" after the
// failures when any were passed over).
std::string summary_line(const BatchTotals& totals, double seconds);

// "5 logs skipped (three-player game: 3, not downloaded: 2)".
std::string passed_over_text(const BatchTotals& totals);

}  // namespace kiroku::cli
