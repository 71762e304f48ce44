// JSON text -> JsonLog.  simdjson indexes the text, then one walk from front
// to back reads it into the records.
#pragma once

#include <expected>

#include "kiroku/io/padded_text.h"
#include "kiroku/json_log.h"
#include "kiroku/read/read_error.h"

namespace kiroku {

// Reads one Tenhou v6 log document.  Whitespace may surround it; anything
// else after it, and a byte-order mark before it, is refused.
[[nodiscard]] std::expected<JsonLog, ReadError> read_json_log(const PaddedText& text);

}  // namespace kiroku
