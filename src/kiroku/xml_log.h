// A game recorded in its order of play, as Tenhou's XML log (the "mjlog")
// keeps it: every draw, discard, call, riichi step and result in the order it
// happened, tiles as physical tile ids.  Plain records that own their data;
// nothing refers back into the XML text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kiroku/game.h"
#include "kiroku/tile.h"
#include "kiroku/tile_id.h"

namespace kiroku {

// One call or kan, decoded from the log's bit-packed call code.
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

// One step of play.  The payloads of the rarer kinds sit in the hand's side
// lists, found by `index`, so that the common draw and discard stay small.
struct XmlStep {
  enum class Kind : std::uint8_t {
    Draw,            // `seat` takes `tile` from the wall
    Discard,         // `seat` discards `tile`
    Meld,            // `seat` calls or kans: melds[index]
    RiichiDeclared,  // `seat` declares riichi; its discard follows
    RiichiAccepted,  // `seat`'s riichi stands: its stick is on the table
    Win,             // wins[index]
    Abort,           // the hand ends without a win: the hand's draw_end
  };
  Kind kind = Kind::Draw;
  std::uint8_t seat = 0;
  TileId tile = 0;
  std::uint32_t index = 0;
  friend bool operator==(const XmlStep&, const XmlStep&) = default;
};

struct XmlWin {
  std::uint8_t winner = 0;
  std::uint8_t from = 0;  // the discarder, or the winner for a self-drawn win
  Scores deltas{};        // points, seat order
  friend bool operator==(const XmlWin&, const XmlWin&) = default;
};

// How a hand ended without a win.
struct XmlDrawEnd {
  enum class Kind : std::uint8_t {
    Exhaustive,     // the wall ran out
    NineTerminals,  // "yao9"
    FourRiichi,     // "reach4"
    TripleRon,      // "ron3"
    FourKans,       // "kan4"
    FourWinds,      // "kaze4"
    NagashiMangan,  // "nm"
  };
  Kind kind = Kind::Exhaustive;
  Scores deltas{};
  friend bool operator==(const XmlDrawEnd&, const XmlDrawEnd&) = default;
};

struct XmlHand {
  HandId id;  // round, honba and riichi sticks as the hand opens
  Scores scores{};
  std::uint8_t dealer = 0;
  std::vector<TileId> dora_indicators;  // the first, then each new one in order
  std::vector<TileId> ura_indicators;   // as the first win that shows any gives them
  std::array<std::array<TileId, kStartingHandSize>, kSeatCount> starting_hands{};  // as dealt
  std::vector<XmlStep> actions;
  std::vector<Meld> melds;
  std::vector<XmlWin> wins;
  XmlDrawEnd draw_end;  // read when an Abort action ends the hand
  friend bool operator==(const XmlHand&, const XmlHand&) = default;
};

struct XmlLog {
  std::uint16_t game_type = 0;                // the GO element's flags
  std::array<std::string, kSeatCount> names;  // decoded UTF-8
  std::vector<XmlHand> hands;
  friend bool operator==(const XmlLog&, const XmlLog&) = default;
};

// The flags of the game type that preparation reads.
namespace game_type {
inline constexpr std::uint16_t kNoRedFives = 0x02;
inline constexpr std::uint16_t kEastSouth = 0x08;  // a hanchan; without it an East-only game
inline constexpr std::uint16_t kThreePlayer = 0x10;
}  // namespace game_type

}  // namespace kiroku
