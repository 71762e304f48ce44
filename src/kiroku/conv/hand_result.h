// The events that close a hand: its wins or its draw, then "end_kyoku".
#pragma once

#include <vector>

#include "kiroku/event.h"
#include "kiroku/prepared_log.h"

namespace kiroku::conv {

// Appends one "hora" per win in log order (each with the hand's whole ura
// indicator list) or one "ryukyoku", then "end_kyoku".  The deltas are the
// log's, written as they are; nothing is checked or computed.
void emit_hand_result(const PreparedHand& hand, std::vector<Event>& events);

}  // namespace kiroku::conv
