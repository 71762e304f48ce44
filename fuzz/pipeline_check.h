// What the pipeline-driven fuzz targets hold every conversion to, beyond not
// crashing: well-formed event texts, exact framing, and the same answer twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kiroku::fuzz {

// Prints `what` and aborts, which libFuzzer reports as a crash with the input.
[[noreturn]] void fail(std::string_view what);

// Converts `text` (a JSON or an XML log, or anything else) twice and checks
// both runs.  On success: each event text
// parses back as exactly one JSON object and holds no raw control byte, the
// arena is the texts each followed by one line feed, the game opens with
// "start_game" and closes with "end_game", and the second run's output is
// byte for byte the first's.  On failure: the second run fails at the same
// stage with the same message.  A third run, a hand at a time as the tool
// converts, gives the same pieces or failure and holds at most three times
// the text (and a few MiB) of heap at once.  A game that converts is also
// written as Tenhou's JSON log, which must convert to the same events.
//
// Counts the conversions that needed a retried or a searched hand, and says
// once on standard error when the first of each is met (see
// report_conversion_counts).
void check_pipeline(std::string_view text);

// Checks two reads of one text by a reader: the same log, or the same
// nonempty message.
template <class Read>
void check_same_read(const Read& first, const Read& again) {
  if (first.has_value() != again.has_value()) fail("a second read of one text succeeds differently");
  if (first) {
    if (*first != *again) fail("a second read of one text gives another log");
  } else {
    if (first.error().message.empty()) fail("a refused text has an empty message");
    if (first.error().message != again.error().message) fail("a second read refuses with another message");
  }
}

}  // namespace kiroku::fuzz
