#include "kiroku/prepare/win_text.h"

#include <array>
#include <charconv>

// The texts are Tenhou's own, kept as UTF-8 in this file, which the compiler
// copies into the program unchanged.

namespace kiroku {

namespace {

// Indexed by the yaku id of AGARI's `yaku` and `yakuman` lists.
constexpr std::array<std::string_view, 55> kYakuNames = {
    "門前清自摸和",    // 0
    "立直",            // 1
    "一発",            // 2
    "槍槓",            // 3
    "嶺上開花",        // 4
    "海底摸月",        // 5
    "河底撈魚",        // 6
    "平和",            // 7
    "断幺九",          // 8
    "一盃口",          // 9
    "自風 東",         // 10  (seat winds, then round winds, each East to North)
    "自風 南",         // 11
    "自風 西",         // 12
    "自風 北",         // 13
    "場風 東",         // 14
    "場風 南",         // 15
    "場風 西",         // 16
    "場風 北",         // 17
    "役牌 白",         // 18
    "役牌 發",         // 19
    "役牌 中",         // 20
    "両立直",          // 21
    "七対子",          // 22
    "混全帯幺九",      // 23
    "一気通貫",        // 24
    "三色同順",        // 25
    "三色同刻",        // 26
    "三槓子",          // 27
    "対々和",          // 28
    "三暗刻",          // 29
    "小三元",          // 30
    "混老頭",          // 31
    "二盃口",          // 32
    "純全帯幺九",      // 33
    "混一色",          // 34
    "清一色",          // 35
    "人和",            // 36  (the yakuman start here; 人和 is one in Tenhou's rules)
    "天和",            // 37
    "地和",            // 38
    "大三元",          // 39
    "四暗刻",          // 40
    "四暗刻単騎",      // 41
    "字一色",          // 42
    "緑一色",          // 43
    "清老頭",          // 44
    "九蓮宝燈",        // 45
    "純正九蓮宝燈",    // 46
    "国士無双",        // 47
    "国士無双１３面",  // 48
    "大四喜",          // 49
    "小四喜",          // 50
    "四槓子",          // 51
    "ドラ",            // 52  (dora, ura dora, red fives)
    "裏ドラ",          // 53
    "赤ドラ",          // 54
};

template <typename Number>
void append_decimal(std::string& text, Number value) {
  std::array<char, 16> digits{};  // any 32-bit number and its sign
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  text.append(digits.data(), end);
}

// Indexed by the limit of AGARI's `ten`, 1 to 5.
constexpr std::array<std::string_view, 6> kLimitNames = {"", "満貫", "跳満", "倍満", "三倍満", "役満"};

}  // namespace

std::string points_text(const WinValue& value) {
  std::string text;
  text.reserve(40);  // room for any one: "三倍満6000-12000点" is 26 bytes
  if (value.limit != 0 && value.limit < kLimitNames.size()) {
    text += kLimitNames[value.limit];
  } else {
    append_decimal(text, value.fu);
    text += "符";
    append_decimal(text, value.han);
    text += "飜";
  }
  if (!value.self_drawn) {
    append_decimal(text, value.points);
    text += "点";
  } else if (value.dealer) {
    append_decimal(text, value.points / 3);
    text += "点∀";
  } else {
    // The dealer pays twice the base and each other seat the base, both
    // rounded up to hundreds, so the dealer's share is twice the others' or
    // 100 less: a quarter of the total, rounded up to hundreds, is the
    // others' share either way.
    const std::int32_t share = (value.points + 399) / 400 * 100;
    append_decimal(text, share);
    text += '-';
    append_decimal(text, value.points - 2 * share);
    text += "点";
  }
  return text;
}

std::optional<std::string_view> yaku_name(std::uint8_t id) noexcept {
  if (id >= kYakuNames.size()) return std::nullopt;
  return kYakuNames[id];
}

std::string yaku_text(std::string_view name, std::optional<std::uint32_t> han) {
  std::string text;
  text.reserve(name.size() + 16);
  text += name;
  if (han) {
    text += '(';
    append_decimal(text, *han);
    text += "飜)";
  } else {
    text += "(役満)";
  }
  return text;
}

}  // namespace kiroku
