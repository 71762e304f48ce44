// Tenhou's JSON log (the version-6 log of tenhou.net/6/) -> its compact
// text, as Tenhou writes it: no whitespace, the document's members in
// Tenhou's order, numbers in their shortest form, strings with only quotes,
// backslashes and control characters escaped.  Hands are written one at a
// time, so that a game's hands never need to be held whole as records.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "kiroku/json_log.h"
#include "kiroku/tenhou6_log.h"

namespace kiroku {

// Appends the hand's array: [round, honba, sticks], the scores, the dora and
// ura indicators, each seat's starting hand, takes and discards, and the
// result.  Throws std::bad_alloc when memory runs out.
void append_tenhou6_hand(const JsonHand& hand, std::string& out);

// A document written in three pieces, so that its hands go straight into
// it: the opening up to the hand list, the hands joined by commas, and the
// closing after them, whose connections are those of the `hand_count`
// hands from the one at `first_hand`, counted from it.
void append_tenhou6_opening(const Tenhou6Game& game, std::string& out);
void append_tenhou6_closing(const Tenhou6Game& game, std::size_t first_hand, std::size_t hand_count, std::string& out);

// The document around `hand_list`, the texts of `hand_count` hands from
// append_tenhou6_hand joined by commas: the game's hands from the one at
// `first_hand` on.  Of the connections only those in these hands are
// written, counted from the first of them.
[[nodiscard]] std::string tenhou6_document(const Tenhou6Game& game, std::string_view hand_list, std::size_t first_hand,
                                           std::size_t hand_count);

}  // namespace kiroku
