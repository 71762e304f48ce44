// JsonLog -> PreparedJsonLog: refuses three-player games, derives the game-wide
// flags and reduces each hand's result list.
#pragma once

#include <expected>
#include <vector>

#include "kiroku/json_log.h"
#include "kiroku/prepare/prepare_error.h"
#include "kiroku/prepared_log.h"

namespace kiroku {

// Takes the log over; whatever is not moved into the result is released.
[[nodiscard]] std::expected<PreparedJsonLog, PrepareError> prepare_json_log(JsonLog&& log);

// The result of one hand from its result list (exposed for tests).
[[nodiscard]] std::expected<HandResult, PrepareError> reduce_hand_result(std::vector<ResultItem>&& items);

}  // namespace kiroku
