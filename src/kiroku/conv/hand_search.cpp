#include "kiroku/conv/hand_search.h"

namespace kiroku::conv {

bool AnswerScript::call_now(Tile /*tile*/, bool either_way) {
  if (either_way) return true;
  if (next_ == answers_.size()) answers_.push_back(true);
  return answers_[next_++];
}

bool AnswerScript::advance() {
  // A walk is fixed by its answers, so the attempt read every answer given;
  // trimming to what it read only guards that.
  answers_.resize(next_);
  while (!answers_.empty() && !answers_.back()) answers_.pop_back();
  if (answers_.empty()) return false;
  answers_.back() = false;
  return true;
}

SearchResult search_hand(const ListedHand& hand, std::vector<Event>& events, std::size_t max_attempts) {
  SearchResult result;
  AnswerScript script;
  while (result.attempts < max_attempts) {
    ++result.attempts;
    script.rewind();
    if (walk_hand(hand, script, events)) {
      result.found = true;
      break;
    }
    if (!script.advance()) break;
  }
  return result;
}

}  // namespace kiroku::conv
