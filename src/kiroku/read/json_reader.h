// Tenhou's JSON log text -> what it says of the game, then its hands one by
// one.
#pragma once

#include <expected>
#include <memory>

#include "kiroku/io/padded_text.h"
#include "kiroku/json_log.h"
#include "kiroku/read/read_error.h"

namespace kiroku {

// Reads one Tenhou v6 log document: everything but the hands first, then,
// on request, each hand.  Whitespace may surround the document; anything
// else after it is refused.  A failure is reported where it stands in the
// text: one past the hand list only after every hand has been read.  No
// piece longer than a game's is indexed at once, so reading takes little
// beside the text.  Every member throws std::bad_alloc when memory runs
// out.
class JsonReader {
 public:
  // Reads what `text` says of the game.  `text` must outlive the reader.
  [[nodiscard]] static std::expected<JsonReader, ReadError> open(const PaddedText& text);

  JsonReader(JsonReader&&) noexcept;
  JsonReader& operator=(JsonReader&&) noexcept;
  ~JsonReader();

  // The names, the rule and the optional members.
  JsonGame& game() noexcept;

  // Reads the next hand into `hand`; false after the last hand.
  [[nodiscard]] std::expected<bool, ReadError> next_hand(JsonHand& hand);

 private:
  struct State;
  explicit JsonReader(std::unique_ptr<State> state) noexcept;
  std::unique_ptr<State> state_;
};

// The whole document at once.
[[nodiscard]] std::expected<JsonLog, ReadError> read_json_log(const PaddedText& text);

}  // namespace kiroku
