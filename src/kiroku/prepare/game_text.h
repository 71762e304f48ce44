// The texts Tenhou's JSON log writes of a game from the XML log's numbers:
// the rule's name from the game type, and the players' ranks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiroku {

// The room, the length and the rule flags of a four-player game type, as
// the rule's "disp" names them: "鳳南喰赤", "般東喰赤速".
std::string rule_text(std::uint16_t game_type);

// The name of a rank of UN's `dan`, "新人" to "天鳳位"; "" for a number past
// the last rank.
std::string_view rank_name(std::uint8_t rank) noexcept;

}  // namespace kiroku
