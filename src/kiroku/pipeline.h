// The whole conversion of one log text: read -> prepare -> convert -> encode.
// Front ends (the Python module, the command-line tool) call this and turn
// its error into what their user sees.
#pragma once

#include <expected>
#include <string>
#include <variant>

#include "kiroku/conv/conversion_stats.h"
#include "kiroku/conversion_error.h"
#include "kiroku/encode/event_encoder.h"
#include "kiroku/io/padded_text.h"
#include "kiroku/prepare/prepare_error.h"
#include "kiroku/read/read_error.h"

namespace kiroku {

enum class Stage { Read, Prepare, Convert };

struct PipelineError {
  std::variant<ReadError, PrepareError, ConversionError> detail;

  Stage stage() const noexcept { return static_cast<Stage>(detail.index()); }
};

// "read: missing field `log`", "convert: hand 5 (honba 1), seat 2: ...".
std::string describe(const PipelineError& error);

// Converts one log, Tenhou's JSON or XML, told apart by the text's first
// bytes (see detect_log_format).  The text is the call's own: an XML text is
// parsed in place.  Throws std::bad_alloc when memory runs out.
[[nodiscard]] std::expected<EncodedEvents, PipelineError> convert_text(PaddedText text,
                                                                       conv::ConversionStats* stats = nullptr);

}  // namespace kiroku
