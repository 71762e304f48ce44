// The converter's input, as preparation makes it from either log format: the
// game-wide facts "start_game" needs, and each hand with its opening, its
// result already reduced to what the result events need, and its play with
// every call decoded.  The play comes in one of two forms: per-seat lists
// whose order the converter must find (Tenhou's JSON log), or steps already
// in their order of play (the XML log).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "kiroku/event.h"
#include "kiroku/game.h"
#include "kiroku/tile.h"
#include "kiroku/tile_id.h"
#include "kiroku/xml_log.h"  // the kinds of step

namespace kiroku {

struct PreparedGame {
  std::array<std::string, kSeatCount> names;
  bool aka_flag = false;
  std::uint8_t kyoku_first = 0;  // 4 for an East-only game, else 0
};

// How a hand ends without a win.
enum class DrawKind : std::uint8_t {
  Other,          // a draw the log does not name in a way that is known
  Exhaustive,     // the wall ran out: "流局" ("全員聴牌", "全員不聴"), XML without a type
  NagashiMangan,  // the wall ran out, with a nagashi mangan: "流し満貫", "nm"
  NineTerminals,  // "九種九牌", "yao9"
  FourRiichi,     // "四家立直", "reach4"
  TripleRon,      // "三家和了", "ron3"
  FourKans,       // "四槓散了", "kan4"
  FourWinds,      // "四風連打", "kaze4"
};

struct Draw {
  Scores deltas{};
  // A four-riichi draw: the fourth riichi's discard ends the hand, and that
  // riichi stands (its stick goes on the table).
  DrawKind kind = DrawKind::Other;
  friend bool operator==(const Draw&, const Draw&) = default;
};

struct Win {
  Scores deltas{};
  std::uint8_t winner = 0;
  std::uint8_t target = 0;  // the winner's own seat for a self-drawn win
  friend bool operator==(const Win&, const Win&) = default;
};

// A hand ends in a draw or in wins listed in log order (none, two for a
// double ron).
using HandResult = std::variant<Draw, std::vector<Win>>;

// --- Play kept per seat -----------------------------------------------------

// What a take or discard entry says, in a few plain bytes; whose entry it
// is, the list tells.  A hand's lists are decoded once and walked once per
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

// One seat's part of a hand, each list in log order.
struct SeatLists {
  std::vector<ListEntry> takes;     // Tsumo, Chi, Pon, Daiminkan
  std::vector<ListEntry> discards;  // Dahai, Kakan, Ankan
};

struct ListedPlay {
  std::array<SeatLists, kSeatCount> seats;
};

// --- Play kept in order -----------------------------------------------------

// One call or kan, decoded from its call code.
struct Meld {
  enum class Kind : std::uint8_t { Chi, Pon, Daiminkan, Kakan, Ankan };
  Kind kind = Kind::Chi;
  // Where the claimed tile came from, counted in seats after the caller:
  // 3 the seat before (every chi), 2 across, 1 the seat after; 0 for an ankan.
  std::uint8_t from = 0;
  // The meld's tiles in ascending id: three for a chi or pon, the pon's
  // three for a kakan (the added tile apart), four for a daiminkan or ankan.
  std::array<TileId, 4> tiles{};
  std::uint8_t tile_count = 0;
  TileId claimed = 0;  // the discard taken (for a kakan: the one its pon took)
  TileId added = 0;    // kakan: the tile added to the pon
  friend bool operator==(const Meld&, const Meld&) = default;
};

// A meld as the walk checks it (`meld`, by tile id) and as it writes it
// (`event`: the chi, pon, daiminkan, kakan or ankan of the step's seat, its
// tiles in the order Tenhou lists them).
struct PreparedMeld {
  Meld meld;
  Event event;
};

// One step as the record gives it, its tile named: a Meld's `index` is its
// place in `melds`, a Win's in the result's wins; an Abort ends the hand in
// its result's draw.
struct PlayStep {
  using Kind = XmlStep::Kind;
  Kind kind = Kind::Draw;
  event::Seat seat = 0;
  TileId tile_id = 0;
  Tile tile;  // of tile_id
  std::uint32_t index = 0;
};

struct RecordedPlay {
  // Every physical tile the hand shows must come into play once: the
  // indicators and the starting hands by id, as dealt.
  std::vector<TileId> indicator_ids;
  std::array<std::array<TileId, kStartingHandSize>, kSeatCount> starting_ids{};
  std::vector<PlayStep> steps;
  std::vector<PreparedMeld> melds;
};

// --- A hand -----------------------------------------------------------------

struct PreparedHand {
  std::size_t position = 0;  // the hand's place in the log, from 0
  HandId id;
  Scores scores{};
  std::vector<Tile> dora_indicators;  // the first, then one per kan in order
  std::vector<Tile> ura_indicators;
  std::array<StartingHand, kSeatCount> starting_hands{};  // as "start_kyoku" lists them
  HandResult result;
  std::variant<ListedPlay, RecordedPlay> play;
};

}  // namespace kiroku
