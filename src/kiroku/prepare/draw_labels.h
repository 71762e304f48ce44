// The labels a hand's result list opens with in Tenhou's JSON log: 和了 for
// a win, or the name of the way the hand was drawn.
#pragma once

#include <cstddef>
#include <string_view>

#include "kiroku/prepared_game.h"

namespace kiroku {

// As bytes: labels are compared and written as the log's UTF-8.
inline constexpr std::string_view kWinLabel = "\xE5\x92\x8C\xE4\xBA\x86";  // 和了

// The kind of draw a label names; Other for a label not known.
DrawKind draw_kind_of(std::string_view label) noexcept;

// The label Tenhou writes for a draw of `kind`.  An exhaustive draw is
// named by how many seats are in tenpai: 全員聴牌 for all four, 全員不聴 for
// none, else 流局.
std::string_view draw_label(DrawKind kind, std::size_t seats_in_tenpai) noexcept;

}  // namespace kiroku
