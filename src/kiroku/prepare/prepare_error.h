// Why a log that was read is not a game the converter takes, whatever its
// format.
#pragma once

#include <cstdint>
#include <string_view>
#include <variant>

#include "kiroku/conversion_error.h"

namespace kiroku {

enum class PrepareError : std::uint8_t {
  ThreePlayerGame,  // the log marks a three-player game
  InvalidWinEntry,  // a win's detail list lacks the winner or target as a number
  UnknownYaku,      // a win names a yaku id that Tenhou's JSON log has no name for
};

std::string_view describe(PrepareError error) noexcept;

// A hand's preparation fails as the log does (PrepareError), or, where one
// of its calls reads as no call, as the conversion of that hand.
using HandPreparationError = std::variant<PrepareError, ConversionError>;

}  // namespace kiroku
