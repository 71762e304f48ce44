// A log format's reader and preparation, giving the prepared game and then
// its hands one by one: the front of every pipeline entry (pipeline.h).
// Each source keeps the buffers of the hand it reads, so that they serve
// every hand.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <variant>

#include "kiroku/io/padded_text.h"
#include "kiroku/json_log.h"
#include "kiroku/pipeline.h"
#include "kiroku/prepared_game.h"
#include "kiroku/read/json_reader.h"
#include "kiroku/read/xml_reader.h"
#include "kiroku/tenhou6_log.h"
#include "kiroku/xml_log.h"

namespace kiroku {

// What a source gives the writer of Tenhou's JSON log, when asked to: the
// document around the hands (its `ref` set by the caller, kept), and
// the last hand read in the JSON log's model.
struct Tenhou6Capture {
  Tenhou6Game game;
  JsonHand hand;
};

class JsonSource {
 public:
  // `capture`, when given, must outlive the source.
  explicit JsonSource(Tenhou6Capture* capture = nullptr) noexcept : capture_(capture) {}
  std::expected<PreparedGame, PipelineError> open(const PaddedText& text);
  std::expected<bool, PipelineError> next_hand(PreparedHand& out);

 private:
  std::optional<JsonReader> reader_;
  JsonHand read_;
  std::size_t position_ = 0;
  Tenhou6Capture* capture_;
};

class XmlSource {
 public:
  // `capture`, when given, must outlive the source.
  explicit XmlSource(Tenhou6Capture* capture = nullptr) noexcept : capture_(capture) {}
  std::expected<PreparedGame, PipelineError> open(const PaddedText& text);
  std::expected<bool, PipelineError> next_hand(PreparedHand& out);

 private:
  std::optional<XmlReader> reader_;
  XmlHand read_;
  std::size_t position_ = 0;
  bool red_fives_ = true;
  Tenhou6Capture* capture_;
};

// The source of either format, as the text's first bytes tell (see
// detect_log_format).
class GameSource {
 public:
  // Drops the text's byte order mark and opens it with its format's source;
  // `text`, and `capture` when given, must outlive the source.
  std::expected<PreparedGame, PipelineError> open(PaddedText& text, Tenhou6Capture* capture = nullptr);
  std::expected<bool, PipelineError> next_hand(PreparedHand& out) {
    return std::visit([&](auto& hands) { return hands.next_hand(out); }, source_);
  }

 private:
  std::variant<JsonSource, XmlSource> source_;
};

}  // namespace kiroku
