// PlayLog -> PreparedPlayLog: refuses three-player games and derives the
// game-wide flags from the game type.
#pragma once

#include <expected>

#include "kiroku/play_log.h"
#include "kiroku/prepare/preparation.h"  // PrepareError
#include "kiroku/prepared_log.h"

namespace kiroku {

// Takes the log over.  Fails only with ThreePlayerGame.
[[nodiscard]] std::expected<PreparedPlayLog, PrepareError> prepare_play_log(PlayLog&& log);

}  // namespace kiroku
