// The Tenhou v6 log document as read: plain records that own all their data.
// Nothing here refers back into the JSON text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kiroku/game.h"
#include "kiroku/json_value.h"
#include "kiroku/notation_text.h"
#include "kiroku/tile.h"

namespace kiroku {

// One entry of a take or discard list: a tile code, another small integer
// (the log writes 60 for a discard of the drawn tile), or call notation.
// Sixteen bytes: a big log holds tens of millions of them.
using ActionItem = std::variant<Tile, std::uint8_t, NotationText>;
static_assert(sizeof(ActionItem) == 16);

// One entry of a hand's result list: a label ("和了", "流局", ...), four
// score changes, or any other array (a win's detail list) as generic values.
using ResultItem = std::variant<std::string, Scores, std::vector<JsonValue>>;

// What one seat holds in a hand entry.
struct JsonSeat {
  StartingHand hand;
  std::vector<ActionItem> takes;     // draws and calls
  std::vector<ActionItem> discards;  // discards, riichi, added and closed kans
  friend bool operator==(const JsonSeat&, const JsonSeat&) = default;
};

// One hand (kyoku): the 17-element array of the log.
struct JsonHand {
  HandId id;
  Scores scores{};
  std::vector<Tile> dora_indicators;
  std::vector<Tile> ura_indicators;
  std::array<JsonSeat, kSeatCount> seats;
  std::vector<ResultItem> result;
  friend bool operator==(const JsonHand&, const JsonHand&) = default;
};

struct Rule {
  std::string disp;
  std::uint8_t aka = 0;
  std::uint8_t aka51 = 0;
  std::uint8_t aka52 = 0;
  std::uint8_t aka53 = 0;
  friend bool operator==(const Rule&, const Rule&) = default;
};

// A player who left (`what` 0) or came back (1) after `step` steps of hand
// `log`, as a document's "connection" list records it.
struct JsonConnection {
  std::uint8_t what = 0;
  std::uint32_t log = 0;
  std::uint8_t who = 0;
  std::uint32_t step = 0;
  friend bool operator==(const JsonConnection&, const JsonConnection&) = default;
};

// Everything a log document says but its hands.
struct JsonGame {
  std::array<std::string, kSeatCount> name;
  Rule rule;
  // Read and validated, but used by no later stage.
  std::optional<std::string> ratingc;
  std::optional<std::int32_t> lobby;
  std::optional<std::vector<std::string>> dan;
  std::optional<std::vector<double>> rate;
  std::optional<std::vector<std::string>> sx;
  // Read from a document as an object only, and kept only to be written
  // back: each seat's final score and placement points in turn ("sc"), the
  // "connection" list, and the log's id ("ref").
  std::optional<std::vector<double>> sc;
  std::vector<JsonConnection> connection;
  std::optional<std::string> ref;
  friend bool operator==(const JsonGame&, const JsonGame&) = default;
};

// A whole log document.
struct JsonLog : JsonGame {
  std::vector<JsonHand> log;
  friend bool operator==(const JsonLog&, const JsonLog&) = default;
};

}  // namespace kiroku
