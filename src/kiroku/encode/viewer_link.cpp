#include "kiroku/encode/viewer_link.h"

#include <array>
#include <cstdint>

namespace kiroku {

namespace {

constexpr std::string_view kViewerPrefix = "https://tenhou.net/6/#json=";

constexpr std::array<bool, 256> kKeptBytes = [] {
  std::array<bool, 256> kept{};
  for (int c = 'a'; c <= 'z'; ++c) kept[static_cast<std::size_t>(c)] = true;
  for (int c = 'A'; c <= 'Z'; ++c) kept[static_cast<std::size_t>(c)] = true;
  for (int c = '0'; c <= '9'; ++c) kept[static_cast<std::size_t>(c)] = true;
  for (const char c : std::string_view("-_.!~*'();/?:@&=+$,")) kept[static_cast<unsigned char>(c)] = true;
  return kept;
}();

}  // namespace

std::string tenhou6_viewer_link(std::string_view document) {
  constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  std::string link;
  link.reserve(kViewerPrefix.size() + 3 * document.size());
  link += kViewerPrefix;
  for (const char c : document) {
    const auto byte = static_cast<unsigned char>(c);
    if (kKeptBytes[byte]) {
      link += c;
      continue;
    }
    link += '%';
    link += kHexDigits[byte >> 4];
    link += kHexDigits[byte & 0x0F];
  }
  return link;
}

}  // namespace kiroku
