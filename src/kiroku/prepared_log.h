// The converter's input: a read log checked for its game type, with every
// hand's result list reduced to what the result events need.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "kiroku/json_log.h"
#include "kiroku/xml_log.h"
#include "kiroku/tile.h"

namespace kiroku {

struct Draw {
  Scores deltas{};
  // The abortive draw "四家立直": the fourth riichi's discard ends the hand,
  // and that riichi stands (its stick goes on the table).
  bool four_riichi = false;
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

struct PreparedHand {
  HandId id;
  Scores scores{};
  std::vector<Tile> dora_indicators;
  std::vector<Tile> ura_indicators;
  std::array<JsonSeat, kSeatCount> seats;
  HandResult result;
};

struct PreparedJsonLog {
  std::array<std::string, kSeatCount> names;
  std::vector<PreparedHand> hands;
  bool aka_flag = false;
  std::uint8_t kyoku_first = 0;  // 4 for an East-only game, else 0
};

}  // namespace kiroku

namespace kiroku {

// The converter's input from a log recorded in order of play: the game-wide
// flags taken from the game type, the hands as read.
struct PreparedXmlLog {
  std::array<std::string, kSeatCount> names;
  std::vector<XmlHand> hands;
  bool aka_flag = false;
  std::uint8_t kyoku_first = 0;  // 4 for an East-only game, else 0
};

}  // namespace kiroku
