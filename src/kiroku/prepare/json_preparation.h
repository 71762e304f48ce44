// JsonLog -> the converter's input: refuses three-player games, derives the
// game-wide flags from the rule, and prepares each hand, its result list
// reduced and its take and discard lists decoded.
#pragma once

#include <cstddef>
#include <expected>
#include <vector>

#include "kiroku/json_log.h"
#include "kiroku/prepare/prepare_error.h"
#include "kiroku/prepared_game.h"

namespace kiroku {

// Takes the names over.
[[nodiscard]] std::expected<PreparedGame, PrepareError> prepare_json_game(JsonGame& log);

// Prepares the hand at `position` into `out`, taking the hand over and
// reusing the buffers `out` holds from an earlier hand.  A result list that
// cannot be read fails with InvalidWinEntry; a list entry that reads as no
// call, tile or riichi, as that hand's conversion error.
[[nodiscard]] std::expected<void, HandPreparationError> prepare_json_hand(JsonHand&& hand, std::size_t position,
                                                                          PreparedHand& out);

// The result of one hand from its result list (exposed for tests).
[[nodiscard]] std::expected<HandResult, PrepareError> reduce_hand_result(std::vector<ResultItem>&& items);

}  // namespace kiroku
