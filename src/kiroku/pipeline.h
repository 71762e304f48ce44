// The whole conversion of one log text: read -> prepare -> convert -> encode.
// Front ends (the Python module, the command-line tool) call this and turn
// its error into what their user sees.
#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

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

// One log's conversion, Tenhou's JSON or XML (told apart by the text's
// first bytes, see detect_log_format; a byte order mark is skipped), its
// output handed out a hand at a time: a caller writes each piece away
// before it asks for the next, so that neither the read log nor the game's
// output is ever held whole.  Nothing of the text is looked at before the
// first call of next().
class Conversion {
 public:
  // Takes the text over.
  explicit Conversion(PaddedText text);
  Conversion(Conversion&&) noexcept;
  Conversion& operator=(Conversion&&) noexcept;
  ~Conversion();

  // The event texts of the next hand, each followed by a line feed: the
  // first piece opens with "start_game", the last ends with "end_game".
  // Nothing after the last piece; the same error again after an error.  The
  // view lives until the next call.  Throws std::bad_alloc when memory runs
  // out.
  [[nodiscard]] std::expected<std::optional<std::string_view>, PipelineError> next();

  // The events handed out so far.
  std::size_t events() const noexcept;
  // The hands converted so far, and the hand that failed.
  const conv::ConversionStats& stats() const noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The whole output of one log at once, for callers that want it so (tests,
// small tools).  Throws std::bad_alloc when memory runs out.
[[nodiscard]] std::expected<EncodedEvents, PipelineError> convert_text(PaddedText text,
                                                                       conv::ConversionStats* stats = nullptr);

// Tenhou's JSON log (tenhou.net/6/) of one log text, XML or JSON as
// Conversion takes them: the game is first converted to its events, which
// must succeed and are then dropped, and the log is written in Tenhou's
// compact form, the one Tenhou's own conversion of its XML logs writes.  A
// JSON log comes back as the reader keeps it (its final scores, connection
// list and id only from the object form; members it does not know are
// dropped).  `ref` is the log's id, written as "ref"; when it is empty, a
// JSON log's own id, or ""; `stats`,
// when given, counts the hands converted, as Conversion::stats().  Throws
// std::bad_alloc when memory runs out.
[[nodiscard]] std::expected<std::string, PipelineError> convert_to_tenhou6(PaddedText text, std::string_view ref,
                                                                           conv::ConversionStats* stats = nullptr);

// The same log as one link per hand that opens it in Tenhou's viewer:
// "https://tenhou.net/6/#json=" and, percent-encoded, the document of that
// hand alone (the whole document with "log" holding only it).
[[nodiscard]] std::expected<std::vector<std::string>, PipelineError> tenhou6_viewer_links(
    PaddedText text, std::string_view ref, conv::ConversionStats* stats = nullptr);

}  // namespace kiroku
