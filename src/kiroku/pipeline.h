// The whole conversion of one log text: read -> prepare -> convert -> encode.
// Front ends (the Python module, the command-line tool) call this and turn
// its error into what their user sees.
#pragma once

#include <expected>
#include <string>
#include <variant>

#include "kiroku/conv/conversion_error.h"
#include "kiroku/conv/converter.h"
#include "kiroku/conv/play_converter.h"
#include "kiroku/encode/event_encoder.h"
#include "kiroku/io/padded_text.h"
#include "kiroku/prepare/xml_preparation.h"
#include "kiroku/prepare/json_preparation.h"
#include "kiroku/read/log_format.h"
#include "kiroku/read/json_reader.h"
#include "kiroku/read/xml_reader.h"

namespace kiroku {

enum class Stage { Read, Prepare, Convert, Encode };

struct PipelineError {
  std::variant<ReadError, PrepareError, conv::ConversionError, EncodeError> detail;

  Stage stage() const noexcept { return static_cast<Stage>(detail.index()); }
};

// "read: missing field `log`", "convert: hand 5 (honba 1), seat 2: ...".
std::string describe(const PipelineError& error);

// Converts one log, Tenhou's JSON or XML, told apart by the text's first
// bytes (see detect_log_format).  A JSON text is only read; an XML text is
// parsed in place and no longer holds the log afterwards.
[[nodiscard]] std::expected<EncodedEvents, PipelineError> convert_text(PaddedText& text,
                                                                      conv::ConversionStats* stats = nullptr);

}  // namespace kiroku
