#include "cli/display.h"

#include "kiroku/io/quoted_text.h"

namespace kiroku::cli {
namespace {

bool reads_safely(std::string_view bytes, const std::string& quoted) {
  return !bytes.empty() && quoted.size() == bytes.size() + 2 && bytes.find(": ") == std::string_view::npos;
}

}  // namespace

std::string shown(std::string_view bytes) {
  std::string quoted = quoted_text(bytes);
  if (reads_safely(bytes, quoted)) return std::string(bytes);
  return quoted;
}

std::string shown_quoted(std::string_view bytes) {
  std::string quoted = quoted_text(bytes);
  if (reads_safely(bytes, quoted) && bytes.find('\'') == std::string_view::npos) {
    std::string single_quoted;
    single_quoted.reserve(bytes.size() + 2);
    single_quoted.append(1, '\'').append(bytes).append(1, '\'');
    return single_quoted;
  }
  return quoted;
}

}  // namespace kiroku::cli
