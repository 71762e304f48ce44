// Tenhou's JSON log (the version-6 log of tenhou.net/6/) -> its compact
// text, as Tenhou writes it: no whitespace, the document's members in
// Tenhou's order, numbers in their shortest form, strings with only quotes,
// backslashes and control characters escaped.  Hands are written one at a
// time, so that a game's hands never need to be held whole as records.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "kiroku/json_log.h"
#include "kiroku/tenhou6_log.h"

namespace kiroku {

// Appends the hand's array: [round, honba, sticks], the scores, the dora and
// ura indicators, each seat's starting hand, takes and discards, and the
// result.  Throws std::bad_alloc when memory runs out.
void append_tenhou6_hand(const JsonHand& hand, std::string& out);

// The document around hand texts from append_tenhou6_hand: `hands` are the
// game's hands from the one at `first_hand` on, and of the connections only
// those in them are written, counted from the first of them.
[[nodiscard]] std::string tenhou6_document(const Tenhou6Game& game, std::span<const std::string> hands,
                                           std::size_t first_hand = 0);

}  // namespace kiroku
