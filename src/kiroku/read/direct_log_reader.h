// A fast reader for log documents in the usual shape, read straight from
// the bytes.  It declines everything unusual or wrong, and the On-Demand
// reader then reads the text from the start: every message, and every
// unusual form, still come from that one reader.
#pragma once

#include "kiroku/io/padded_text.h"
#include "kiroku/log_record.h"

namespace kiroku::detail {

// True with the document in `out` when this reader takes it; false when it
// declines, with `out` holding part of the document.  A document it takes
// is one the On-Demand reader reads to an equal RawLog.
[[nodiscard]] bool read_log_directly(const PaddedText& text, RawLog& out);

}  // namespace kiroku::detail
