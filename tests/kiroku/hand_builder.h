// Hands for the tests of preparation and conversion, written the way the
// JSON log writes them: take and discard entries as tile codes, other
// numbers (60) and call notation; events summed up as short lines for
// comparison.
#pragma once

#include <cstdint>
#include <expected>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kiroku/conv/conversion_stats.h"
#include "kiroku/conv/order_finding.h"
#include "kiroku/conversion_error.h"
#include "kiroku/event.h"
#include "kiroku/json_log.h"
#include "kiroku/prepare/prepare_error.h"
#include "kiroku/prepared_game.h"

namespace kiroku::testing {

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
  // A hand as a log holds it; its result comes from its result list.
  explicit HandBuilder(JsonHand record) : record_(std::move(record)) {}

  HandBuilder& seat(std::uint8_t seat, Entries takes, Entries discards);
  HandBuilder& seat_lists(std::uint8_t seat, const std::vector<Entry>& takes, const std::vector<Entry>& discards);
  HandBuilder& dora(std::initializer_list<int> codes);
  HandBuilder& ura(std::initializer_list<int> codes);
  HandBuilder& draw(Scores deltas = {});
  HandBuilder& win(std::uint8_t winner, std::uint8_t target, Scores deltas = {});

  // The hand as the log holds it (its result list left empty unless the
  // hand came from a log).
  const JsonHand& record() const noexcept { return record_; }
  JsonHand& record() noexcept { return record_; }

  // The hand as preparation makes it, with the result set here if any, or
  // the decoding's error.
  std::expected<PreparedHand, ConversionError> prepare(std::size_t position = 0) const;
  // The same when the decoding must succeed.
  PreparedHand build(std::size_t position = 0) const;
  operator PreparedHand() const { return build(); }  // NOLINT

 private:
  JsonHand record_;
  std::optional<HandResult> result_;
};

// A hand prepared from its builder, with its dahai counts, for walking its
// order one attempt at a time.
class ListedTestHand {
 public:
  explicit ListedTestHand(HandBuilder builder);
  const HandBuilder& builder() const noexcept { return builder_; }
  const PreparedHand& hand() const noexcept { return hand_; }
  const ListedPlay& play() const { return std::get<ListedPlay>(hand_.play); }
  conv::ListedHand listed() const { return {hand_, play(), counts_}; }

 private:
  HandBuilder builder_;
  PreparedHand hand_;
  conv::DahaiCounts counts_{};
};

// A game of the players "A" to "D" without red fives, East-South.
struct TestLog {
  PreparedGame game;
  std::vector<HandBuilder> hands;
};

TestLog log_of(std::vector<HandBuilder> hands);
// A log as read, its game prepared as the pipeline prepares it (the hands
// are prepared as convert_log converts them).
std::expected<TestLog, PrepareError> log_of(JsonLog&& log);

// The whole game from "start_game" to "end_game", each hand prepared and
// converted in turn, or the first hand's error.  `stats`, when given, is
// overwritten.
std::expected<std::vector<Event>, ConversionError> convert_log(const TestLog& log,
                                                               conv::ConversionStats* stats = nullptr);

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

}  // namespace kiroku::testing
