// XmlLog -> PreparedXmlLog: refuses three-player games and derives the
// game-wide flags from the game type.
#pragma once

#include <expected>

#include "kiroku/prepare/prepare_error.h"
#include "kiroku/prepared_log.h"
#include "kiroku/xml_log.h"

namespace kiroku {

// Takes the log over.  Fails only with ThreePlayerGame.
[[nodiscard]] std::expected<PreparedXmlLog, PrepareError> prepare_xml_log(XmlLog&& log);

}  // namespace kiroku
