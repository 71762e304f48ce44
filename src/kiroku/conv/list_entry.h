// One entry of a seat's take or discard list as its notation reads.
#pragma once

#include <array>
#include <cstdint>

#include "kiroku/event.h"
#include "kiroku/tile.h"

namespace kiroku::conv {

// What a take or discard entry says, in a few plain bytes; whose entry it
// is, the list tells.  A hand's lists are read once and walked once per
// attempt, and an Event, sized for its largest kind, would be many times
// larger and copied through the variant's tables, so events are made only
// as the walk writes them.
struct ListEntry {
  // A take is a Tsumo, Chi, Pon or Daiminkan; a discard a Dahai, Kakan or Ankan.
  enum class Kind : std::uint8_t { Tsumo, Chi, Pon, Daiminkan, Dahai, Kakan, Ankan };

  Kind kind = Kind::Tsumo;
  // The tile drawn, claimed, discarded or added; an ankan's last field.  A
  // tsumogiri's tile is the draw it pairs with, the placeholder without one.
  Tile pai;
  // Tiles from the hand: two for a chi or a pon, three for a daiminkan or a
  // kakan; an ankan's first three fields.
  std::array<Tile, 3> consumed{};
  event::Seat target = 0;  // chi, pon, daiminkan: the seat called from
  bool tsumogiri = false;  // dahai: of the tile just drawn
  bool riichi = false;     // dahai: declares riichi, and "reach" comes first
};

// A chi, pon or daiminkan: a take that claims a discard.
inline bool is_call(const ListEntry& entry) noexcept {
  using enum ListEntry::Kind;
  return entry.kind == Chi || entry.kind == Pon || entry.kind == Daiminkan;
}

}  // namespace kiroku::conv
