#include "cli/progress.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>  // snprintf

namespace kiroku::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;

std::string clock_text(double seconds) {
  const auto whole = static_cast<long long>(std::llround(seconds));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

std::optional<std::string> ProgressBar::update(const BatchTotals& totals, Clock::time_point now, bool force) {
  const bool finished = totals.done() >= totals.total;
  if (!finished && !force && last_drawn_ && now - *last_drawn_ < kRedrawInterval) return std::nullopt;
  last_drawn_ = now;

  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const std::size_t done = totals.done();
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
  const int filled = totals.total == 0 ? kBarWidth : static_cast<int>(done * kBarWidth / totals.total);

  std::string line(ProgressBar::erase().substr(0, 1));  // back to the start of the line
  line += '[';
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kBarWidth - filled), '-');
  char text[160];
  std::snprintf(text, sizeof text, "] %zu/%zu logs, %zu failed, %.1f logs/s", done, totals.total, totals.failed, rate);
  line += text;
  if (rate > 0 && !finished) {
    line += ", " + clock_text(static_cast<double>(totals.total - done) / rate) + " left";
  }
  line += "\x1b[K";  // clear what a longer earlier bar left behind
  return line;
}

namespace {

std::string skip_counts(const BatchTotals& totals) {
  std::string counts;
  for (std::size_t kind = 0; kind < kSkipKinds; ++kind) {
    if (totals.skipped[kind] == 0) continue;
    if (!counts.empty()) counts += ", ";
    counts += std::string(skip_text(static_cast<Skip>(kind))) + ": " + std::to_string(totals.skipped[kind]);
  }
  return "(" + counts + ")";
}

}  // namespace

std::string passed_over_text(const BatchTotals& totals) {
  return std::to_string(totals.skipped_in_all()) + " logs skipped " + skip_counts(totals);
}

std::string summary_line(const BatchTotals& totals, double seconds) {
  char text[200];
  std::snprintf(text, sizeof text, "kiroku: %zu logs converted, %zu failed", totals.converted, totals.failed);
  std::string line = text;
  if (totals.skipped_in_all() > 0) {
    line += ", " + std::to_string(totals.skipped_in_all()) + " skipped " + skip_counts(totals);
  }
  std::snprintf(text, sizeof text, ", %" PRIu64 " events written, %.2f s", totals.events, seconds);
  line += text;
  return line;
}

}  // namespace kiroku::cli
