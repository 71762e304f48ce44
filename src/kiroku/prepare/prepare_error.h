// Why a log that was read is not a game the converter takes, whatever its
// format.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiroku {

enum class PrepareError : std::uint8_t {
  ThreePlayerGame,  // the log marks a three-player game
  InvalidWinEntry,  // a win's detail list lacks the winner or target as a number
};

std::string_view describe(PrepareError error) noexcept;

}  // namespace kiroku
