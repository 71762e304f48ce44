// JSON text -> RawLog.  simdjson indexes the text, then one walk from front
// to back reads it into the records.
#pragma once

#include <expected>
#include <string>

#include "kiroku/io/padded_text.h"
#include "kiroku/log_record.h"

namespace kiroku {

// Why a text is not a log document: the first failure met, as one line
// ("missing field `log`", "invalid length 3, expected an array of length 4",
// or the JSON layer's own message for a syntax error).
struct ReadError {
  std::string message;
};

// Reads one Tenhou v6 log document.  Whitespace may surround it; anything
// else after it, and a byte-order mark before it, is refused.
[[nodiscard]] std::expected<RawLog, ReadError> read_raw_log(const PaddedText& text);

}  // namespace kiroku
