// The texts of a win as Tenhou's JSON log writes them in the win's detail
// list: what the hand is worth ("30符4飜7700点", "満貫2000-4000点") and each
// of its yaku with its han ("立直(1飜)", "大三元(役満)").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kiroku {

// What a win is worth, as the XML log's AGARI gives it.
struct WinValue {
  std::uint16_t fu = 0;
  std::uint32_t han = 0;    // the yaku's han added up
  std::int32_t points = 0;  // the hand's value, without honba or riichi sticks
  std::uint8_t limit = 0;   // 0, or mangan 1 to yakuman 5
  bool self_drawn = false;
  bool dealer = false;
};

// "{fu}符{han}飜" or the limit's name, then the payment: a ron's points
// ("7700点"), a dealer's tsumo as each seat's share ("3900点∀"), anyone
// else's as the non-dealers' and the dealer's share ("1000-2000点").  A
// yakuman of any multiple is named 役満.
std::string points_text(const WinValue& value);

// Tenhou's name of a yaku id of AGARI's `yaku` or `yakuman` lists (0 to 54;
// 52 to 54 are dora, ura dora and red fives), or nothing for an id it has
// none for.
std::optional<std::string_view> yaku_name(std::uint8_t id) noexcept;

// "立直(1飜)"; "大三元(役満)" when `han` is empty.
std::string yaku_text(std::string_view name, std::optional<std::uint32_t> han);

}  // namespace kiroku
