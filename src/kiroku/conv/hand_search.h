// The search for an order of play when the retry rule gives up on a hand.
//
// The retry rule's memory is keyed by tile and every tile cycles through the
// same answers on each attempt, so some combinations of answers at ambiguous
// calls are never tried: a hand that needs "call now" at one tile and
// "later" at another can be refused although it is a valid game.  The search
// tries the combinations one by one, depth first in walk order with "call
// now" first, each as a full walk from fresh state.
#pragma once

#include <cstddef>
#include <vector>

#include "kiroku/conv/call_resolution.h"
#include "kiroku/conv/order_finding.h"
#include "kiroku/event.h"

namespace kiroku::conv {

// Answers from a list, standing in for the call memory: the i-th ambiguous
// call of an attempt gets the i-th answer; past the end of the list "call
// now" is answered and appended.  Calls whose answer cannot matter
// (either_way) are answered "call now" and not recorded, so they do not
// double the search.
class AnswerScript final : public CallAnswers {
 public:
  bool call_now(Tile tile, bool either_way) override;

  // Start the next attempt from the first answer.
  void rewind() noexcept { next_ = 0; }

  // Turns the list into the next one in depth-first order after the attempt
  // just walked: its last "call now" becomes "later" and the answers after it
  // are dropped.  False when the attempt answered "later" everywhere, that is
  // when every combination has been tried.
  bool advance();

  const std::vector<bool>& answers() const noexcept { return answers_; }

 private:
  std::vector<bool> answers_;
  std::size_t next_ = 0;
};

struct SearchResult {
  bool found = false;
  std::size_t attempts = 0;
};

// Walks the hand under each combination of answers until one attempt
// succeeds, every combination has failed, or `max_attempts` attempts have
// been made.  On success the hand's events are appended to `events`;
// otherwise `events` is left as it was found.
SearchResult search_hand(const ListedHand& hand, std::vector<Event>& events, std::size_t max_attempts);

}  // namespace kiroku::conv
