#include "kiroku/prepare/prepare_error.h"

namespace kiroku {

std::string_view describe(PrepareError error) noexcept {
  switch (error) {
    case PrepareError::ThreePlayerGame: return "three-player games are not supported";
    case PrepareError::InvalidWinEntry: return "a win's detail list lacks the winner or the target";
    case PrepareError::UnknownYaku: return "a win names a yaku that has no name";
  }
  return "invalid log";
}

}  // namespace kiroku
