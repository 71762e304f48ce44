#include "kiroku/prepare/win_text.h"

#include <array>

// The texts are Tenhou's own, kept as UTF-8 in this file, which the compiler
// copies into the program unchanged.

namespace kiroku {

namespace {

constexpr std::array<std::string_view, 55> kYakuNames = {
    "門前清自摸和",
    "立直",
    "一発",
    "槍槓",
    "嶺上開花",
    "海底摸月",
    "河底撈魚",
    "平和",
    "断幺九",
    "一盃口",
    // Seat winds, then round winds, each East to North.
    "自風 東",
    "自風 南",
    "自風 西",
    "自風 北",
    "場風 東",
    "場風 南",
    "場風 西",
    "場風 北",  //
    "役牌 白",
    "役牌 發",
    "役牌 中",  //
    "両立直",
    "七対子",
    "混全帯幺九",
    "一気通貫",
    "三色同順",
    "三色同刻",
    "三槓子",
    "対々和",
    "三暗刻",
    "小三元",
    "混老頭",
    "二盃口",
    "純全帯幺九",
    "混一色",
    "清一色",
    // The yakuman, from 人和 (a yakuman in Tenhou's rules).
    "人和",
    "天和",
    "地和",
    "大三元",
    "四暗刻",
    "四暗刻単騎",
    "字一色",
    "緑一色",
    "清老頭",
    "九蓮宝燈",
    "純正九蓮宝燈",
    "国士無双",
    "国士無双１３面",
    "大四喜",
    "小四喜",
    "四槓子",  //
    "ドラ",
    "裏ドラ",
    "赤ドラ",
};

// Indexed by the limit of AGARI's `ten`, 1 to 5.
constexpr std::array<std::string_view, 6> kLimitNames = {"", "満貫", "跳満", "倍満", "三倍満", "役満"};

}  // namespace

std::string points_text(const WinValue& value) {
  std::string text;
  if (value.limit != 0 && value.limit < kLimitNames.size()) {
    text += kLimitNames[value.limit];
  } else {
    text += std::to_string(value.fu) + "符" + std::to_string(value.han) + "飜";
  }
  if (!value.self_drawn) {
    text += std::to_string(value.points) + "点";
  } else if (value.dealer) {
    text += std::to_string(value.points / 3) + "点∀";
  } else {
    // The dealer pays twice the base and each other seat the base, both
    // rounded up to hundreds, so the dealer's share is twice the others' or
    // 100 less: a quarter of the total, rounded up to hundreds, is the
    // others' share either way.
    const std::int32_t share = (value.points + 399) / 400 * 100;
    text += std::to_string(share) + "-" + std::to_string(value.points - 2 * share) + "点";
  }
  return text;
}

std::optional<std::string_view> yaku_name(std::uint8_t id) noexcept {
  if (id >= kYakuNames.size()) return std::nullopt;
  return kYakuNames[id];
}

std::string yaku_text(std::string_view name, std::optional<std::uint32_t> han) {
  std::string text(name);
  text += han ? "(" + std::to_string(*han) + "飜)" : std::string("(役満)");
  return text;
}

}  // namespace kiroku
