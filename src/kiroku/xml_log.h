// A game recorded in its order of play, as Tenhou's XML log (the "mjlog")
// keeps it: every draw, discard, call, riichi step and result in the order it
// happened, tiles as physical tile ids, calls as the log's bit-packed codes.
// Plain records that own their data; nothing refers back into the XML text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kiroku/game.h"
#include "kiroku/tile_id.h"

namespace kiroku {

// One step of play.  The payloads of the rarer kinds sit in the hand's side
// lists, found by `index`, so that the common draw and discard stay small.
struct XmlStep {
  enum class Kind : std::uint8_t {
    Draw,            // `seat` takes `tile` from the wall
    Discard,         // `seat` discards `tile`
    Meld,            // `seat` calls or kans: call_codes[index]
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

// A yaku and its han, as AGARI's `yaku` lists them.
struct XmlYaku {
  std::uint8_t id = 0;
  std::uint8_t han = 0;
  friend bool operator==(const XmlYaku&, const XmlYaku&) = default;
};

struct XmlWin {
  std::uint8_t winner = 0;
  std::uint8_t from = 0;  // the discarder, or the winner for a self-drawn win
  Scores deltas{};        // points, seat order
  // What the win is worth, as `ten` and `yaku`/`yakuman` give it (Tenhou's
  // JSON log writes it out; the mjai events do not carry it).
  std::uint16_t fu = 0;
  std::int32_t points = 0;  // the hand's value, without honba or sticks
  std::uint8_t limit = 0;   // 0, or mangan 1 to yakuman 5
  std::vector<XmlYaku> yaku;
  std::vector<std::uint8_t> yakuman;
  std::optional<std::uint8_t> liable;  // `paoWho`: the seat that pays for it
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
  std::array<bool, kSeatCount> hands_shown{};  // `hai0`..`hai3`: the seats that showed their hand
  friend bool operator==(const XmlDrawEnd&, const XmlDrawEnd&) = default;
};

// A player who left (BYE) or came back (a later UN), `step` elements after
// the hand's INIT.
struct XmlConnection {
  bool returned = false;
  std::uint8_t seat = 0;
  std::uint32_t step = 0;
  friend bool operator==(const XmlConnection&, const XmlConnection&) = default;
};

// The game's end, as `owari` gives it on the last result.
struct XmlFinalScores {
  Scores scores{};
  std::array<double, kSeatCount> points{};  // placement points: 63.8, -23.9
  friend bool operator==(const XmlFinalScores&, const XmlFinalScores&) = default;
};

struct XmlHand {
  HandId id;  // round, honba and riichi sticks as the hand opens
  Scores scores{};
  std::uint8_t dealer = 0;
  std::vector<TileId> dora_indicators;  // the first, then each new one in order
  std::vector<TileId> ura_indicators;   // as the first win that shows any gives them
  std::array<std::array<TileId, kStartingHandSize>, kSeatCount> starting_hands{};  // as dealt
  std::vector<XmlStep> steps;
  std::vector<std::uint16_t> call_codes;  // the `m` of each call, as written
  std::vector<XmlWin> wins;
  XmlDrawEnd draw_end;  // read when an Abort step ends the hand
  std::vector<XmlConnection> connections;
  std::optional<XmlFinalScores> final_scores;  // on the game's last hand
  friend bool operator==(const XmlHand&, const XmlHand&) = default;
};

// What the log says of the game before its first hand.
struct XmlGame {
  std::uint16_t game_type = 0;                // the GO element's flags
  std::optional<std::int32_t> lobby;          // GO's lobby, when given
  std::array<std::string, kSeatCount> names;  // decoded UTF-8
  // The first UN's ranks, ratings and sexes, as many as it gives.
  std::vector<std::uint8_t> dan;
  std::vector<double> rate;
  std::vector<std::string> sx;
  std::vector<XmlConnection> connections;  // before the first hand
  friend bool operator==(const XmlGame&, const XmlGame&) = default;
};

// The flags of the game type that preparation reads.
namespace game_type {
inline constexpr std::uint16_t kNoRedFives = 0x02;
inline constexpr std::uint16_t kEastSouth = 0x08;  // a hanchan; without it an East-only game
inline constexpr std::uint16_t kThreePlayer = 0x10;
}  // namespace game_type

}  // namespace kiroku
