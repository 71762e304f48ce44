// RawLog -> PreparedLog: refuses three-player games, derives the game-wide
// flags and reduces each hand's result list.
#pragma once

#include <cstdint>
#include <expected>
#include <string_view>

#include "kiroku/log_record.h"
#include "kiroku/prepared_log.h"

namespace kiroku {

enum class PrepareError : std::uint8_t {
  ThreePlayerGame,  // the rule text marks a three-player game
  InvalidWinEntry,  // a win's detail list lacks the winner or target as a number
};

std::string_view describe(PrepareError error) noexcept;

// Takes the log over; whatever is not moved into the result is released.
[[nodiscard]] std::expected<PreparedLog, PrepareError> prepare_log(RawLog&& log);

// The result of one hand from its result list (exposed for tests).
[[nodiscard]] std::expected<HandResult, PrepareError> reduce_hand_result(std::vector<ResultItem>&& items);

}  // namespace kiroku
