// A Tenhou v6 JSON log as it is written out: the hands and the game in the
// JSON log's own model (json_log.h), and the log's id, which the document
// carries and the reader has no use for.  Both log formats are brought to
// this form, so that one writer serves them.
#pragma once

#include <string>

#include "kiroku/json_log.h"

namespace kiroku {

// Everything of a written document but its hands.
struct Tenhou6Game {
  std::string ref;  // the log's id, "" when none is known
  JsonGame game;
  friend bool operator==(const Tenhou6Game&, const Tenhou6Game&) = default;
};

}  // namespace kiroku
