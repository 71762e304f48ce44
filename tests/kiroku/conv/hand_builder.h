// Hands for the converter's tests, written the way the log writes them:
// take and discard entries as tile codes, other numbers (60) and call
// notation; events summed up as short lines for comparison.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "kiroku/conv/list_entry.h"
#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv::testing {

// One take or discard entry: a number is a tile when it is a tile code,
// else a plain number; a text is call notation.
struct Entry {
  Entry(int number);            // NOLINT: implicit on purpose, lists read like the log
  Entry(const char* notation);  // NOLINT
  ActionItem item;
};

using Entries = std::initializer_list<Entry>;

// The tile of a log code; the code must be one.
Tile tile(int code);

class HandBuilder {
 public:
  explicit HandBuilder(std::uint8_t hand_index = 0, std::uint8_t honba = 0);

  HandBuilder& seat(std::uint8_t seat, Entries takes, Entries discards);
  HandBuilder& seat_lists(std::uint8_t seat, const std::vector<Entry>& takes, const std::vector<Entry>& discards);
  HandBuilder& dora(std::initializer_list<int> codes);
  HandBuilder& ura(std::initializer_list<int> codes);
  HandBuilder& draw(Scores deltas = {});
  HandBuilder& win(std::uint8_t winner, std::uint8_t target, Scores deltas = {});

  PreparedHand build() const { return hand_; }
  operator PreparedHand() const { return hand_; }  // NOLINT

 private:
  PreparedHand hand_;
};

PreparedJsonLog log_of(std::vector<PreparedHand> hands);

// "tsumo 0 1m", "dahai 0 1m tsumogiri", "pon 0 from 2 5p [5p 5pr]",
// "kakan 1 7s [7s 7s 7s]", "ankan 1 [S S S S]", "dora 3m", "reach 1",
// "reach_accepted 1", "hora 1 from 0", "ryukyoku", "start_kyoku", ...
// Deltas, ura markers and the opening events' fields are left out; tests
// that need them look at the events themselves.
std::string summary(const Event& event);
std::vector<std::string> summaries(const std::vector<Event>& events);

// The events `actor`'s list entries stand for, in list order: a riichi
// declaration as "reach" and its "dahai".
std::vector<Event> events_of(const std::vector<ListEntry>& entries, event::Seat actor);

// The summaries of the events between "start_kyoku" and "end_kyoku" of the
// one hand in `events`, both left out.
std::vector<std::string> play_of(const std::vector<Event>& events);

}  // namespace kiroku::conv::testing
