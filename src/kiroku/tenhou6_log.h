// A Tenhou v6 JSON log as it is written out: the hands in the JSON log's own
// model (json_log.h), and around them what only a written document carries
// and the reader has no use for.  Both log formats are brought to this form,
// so that one writer serves them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kiroku/json_log.h"

namespace kiroku {

// A player who left (`what` 0) or came back (1) after `step` steps of hand
// `log`, as the document's "connection" list records it.
struct JsonConnection {
  std::uint8_t what = 0;
  std::uint32_t log = 0;
  std::uint8_t who = 0;
  std::uint32_t step = 0;
  friend bool operator==(const JsonConnection&, const JsonConnection&) = default;
};

// Everything of a written document but its hands.
struct Tenhou6Game {
  std::string ref;  // the log's id, "" when none is known
  JsonGame game;
  std::vector<JsonConnection> connections;
  // "sc": each seat's final score and placement points, in turn; Tenhou
  // writes it only for a game that ran to its end.
  std::optional<std::vector<double>> final_scores;
  friend bool operator==(const Tenhou6Game&, const Tenhou6Game&) = default;
};

}  // namespace kiroku
