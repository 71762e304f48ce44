// Hands built around ambiguous calls, shared by the retry and search tests.
// Each comment gives the game's true order of play.
#pragma once

#include <cstddef>

#include "hand_builder.h"

namespace kiroku::testing {

// Seat 2 throws 3s twice; seat 0 pons the second one.  The first guess
// (call now) gives the pon to the first 3s, after which seat 1's discard
// list runs out while seats 2 and 3 still hold entries: UnreadEntries.  The
// second attempt finds the game.
HandBuilder dead_end_hand();

// Seat 1 throws 1p twice with seat 0 waiting to pon it; seat 0 then throws
// 9s twice with seat 3 waiting to pon it.  The game takes the second 1p and
// the first 9s.  The retry rule tries (now, now), then (later, later) twice
// and gives up; the search finds (later, now) on its third attempt.
HandBuilder two_tile_hand();

// Seat 0 throws 1p `rounds` + 1 times while seat 2 waits to pon it; each
// time but the last, seat 1 draws and throws a tile that seat 0 pons back.
// Only the last 1p is called.  "Call now" at any earlier 1p dead-ends at
// once, so the search needs `rounds` + 1 attempts; with 3 rounds or more
// the retry rule gives up.  With `distinct_tiles` false seat 1 throws 5m
// every time, which adds an ambiguous call per round where "now" is right.
HandBuilder caterpillar_hand(std::size_t rounds, bool distinct_tiles = true);

// Like the caterpillar with two rounds, but nothing ever lets the hand end:
// the first attempt calls at the first 1p and fails, leaving 1p taken; the
// second starts from taken, meets 1p three times (later, later, now) and
// fails leaving 1p taken again.  Left alone, the retry rule would repeat
// that second attempt forever.
HandBuilder cycling_hand();

}  // namespace kiroku::testing
