#include "kiroku/prepare/xml_preparation.h"

#include <utility>

namespace kiroku {

std::expected<PreparedXmlLog, PrepareError> prepare_xml_log(XmlLog&& log) {
  if ((log.game_type & game_type::kThreePlayer) != 0) return std::unexpected(PrepareError::ThreePlayerGame);
  return PreparedXmlLog{
      .names = std::move(log.names),
      .hands = std::move(log.hands),
      .aka_flag = (log.game_type & game_type::kNoRedFives) == 0,
      .kyoku_first = static_cast<std::uint8_t>((log.game_type & game_type::kEastSouth) != 0 ? 0 : 4),
  };
}

}  // namespace kiroku
