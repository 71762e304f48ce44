#include "kiroku/prepare/game_text.h"

#include <array>

#include "kiroku/xml_log.h"

// The texts are Tenhou's own, kept as UTF-8 in this file, which the compiler
// copies into the program unchanged.

namespace kiroku {

namespace {

// The game type's bits past those xml_log.h names.
constexpr std::uint16_t kNoOpenTanyao = 0x04;
constexpr std::uint16_t kExtraRoom = 0x20;  // with kUpperRoom the phoenix room, alone the special room
constexpr std::uint16_t kFast = 0x40;
constexpr std::uint16_t kUpperRoom = 0x80;

constexpr std::array<std::string_view, 21> kRankNames = {
    "新人", "９級", "８級", "７級", "６級", "５級", "４級", "３級", "２級", "１級",   "初段",
    "二段", "三段", "四段", "五段", "六段", "七段", "八段", "九段", "十段", "天鳳位",
};

}  // namespace

std::string rule_text(std::uint16_t game_type) {
  const bool upper = (game_type & kUpperRoom) != 0;
  const bool extra = (game_type & kExtraRoom) != 0;
  std::string text(upper ? (extra ? "鳳" : "上") : (extra ? "特" : "般"));
  text += (game_type & game_type::kEastSouth) != 0 ? "南" : "東";
  if ((game_type & kNoOpenTanyao) == 0) text += "喰";
  if ((game_type & game_type::kNoRedFives) == 0) text += "赤";
  if ((game_type & kFast) != 0) text += "速";
  return text;
}

std::string_view rank_name(std::uint8_t rank) noexcept { return rank < kRankNames.size() ? kRankNames[rank] : ""; }

}  // namespace kiroku
