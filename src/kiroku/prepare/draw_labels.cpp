#include "kiroku/prepare/draw_labels.h"

#include <array>
#include <utility>

#include "kiroku/game.h"

namespace kiroku {

namespace {

constexpr std::string_view kAllInTenpai = "\xE5\x85\xA8\xE5\x93\xA1\xE8\x81\xB4\xE7\x89\x8C";   // 全員聴牌
constexpr std::string_view kNoneInTenpai = "\xE5\x85\xA8\xE5\x93\xA1\xE4\xB8\x8D\xE8\x81\xB4";  // 全員不聴

// The draw labels Tenhou writes, as bytes, each kind's usual one first.
constexpr std::array<std::pair<std::string_view, DrawKind>, 9> kDrawLabels = {{
    {"\xE6\xB5\x81\xE5\xB1\x80", DrawKind::Exhaustive},                             // 流局
    {kAllInTenpai, DrawKind::Exhaustive},                                           //
    {kNoneInTenpai, DrawKind::Exhaustive},                                          //
    {"\xE6\xB5\x81\xE3\x81\x97\xE6\xBA\x80\xE8\xB2\xAB", DrawKind::NagashiMangan},  // 流し満貫
    {"\xE4\xB9\x9D\xE7\xA8\xAE\xE4\xB9\x9D\xE7\x89\x8C", DrawKind::NineTerminals},  // 九種九牌
    {"\xE5\x9B\x9B\xE5\xAE\xB6\xE7\xAB\x8B\xE7\x9B\xB4", DrawKind::FourRiichi},     // 四家立直
    {"\xE4\xB8\x89\xE5\xAE\xB6\xE5\x92\x8C\xE4\xBA\x86", DrawKind::TripleRon},      // 三家和了
    {"\xE5\x9B\x9B\xE6\xA7\x93\xE6\x95\xA3\xE4\xBA\x86", DrawKind::FourKans},       // 四槓散了
    {"\xE5\x9B\x9B\xE9\xA2\xA8\xE9\x80\xA3\xE6\x89\x93", DrawKind::FourWinds},      // 四風連打
}};

}  // namespace

DrawKind draw_kind_of(std::string_view label) noexcept {
  for (const auto& [text, kind] : kDrawLabels) {
    if (label == text) return kind;
  }
  return DrawKind::Other;
}

std::string_view draw_label(DrawKind kind, std::size_t seats_in_tenpai) noexcept {
  if (kind == DrawKind::Exhaustive && seats_in_tenpai == kSeatCount) return kAllInTenpai;
  if (kind == DrawKind::Exhaustive && seats_in_tenpai == 0) return kNoneInTenpai;
  for (const auto& [text, listed] : kDrawLabels) {
    if (listed == kind) return text;
  }
  return kDrawLabels.front().first;  // a draw of no known kind is written as the usual one
}

}  // namespace kiroku
