// The XML log -> Tenhou's JSON log of the same game, in the JSON log's own
// model, for the writer of that log: the game's texts (rule, ranks) from its
// type and players, and each hand's lists and result from its record.
#pragma once

#include <cstddef>
#include <expected>

#include "kiroku/json_log.h"
#include "kiroku/prepare/prepare_error.h"
#include "kiroku/prepared_game.h"
#include "kiroku/tenhou6_log.h"
#include "kiroku/xml_log.h"

namespace kiroku {

// The document around the hands, as known before any hand: the connections the
// record has before its first hand count as at the start of hand 0.
[[nodiscard]] Tenhou6Game tenhou6_game_of(const XmlGame& game, std::string_view ref);

// The hand at `position` into `out`, from its record and from the hand
// prepared of it (whose tiles are named and whose calls are decoded); notes
// the hand's connections and, on the last hand, the final scores in `game`.
// Fails with UnknownYaku for a yaku id Tenhou has no name for.
[[nodiscard]] std::expected<void, PrepareError> tenhou6_hand_of(const XmlHand& hand, const PreparedHand& prepared,
                                                                std::size_t position, JsonHand& out, Tenhou6Game& game);

}  // namespace kiroku
