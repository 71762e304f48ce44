// Tenhou's XML log text -> what it says of the game, then its hands one by
// one.
#pragma once

#include <expected>
#include <memory>

#include "kiroku/io/padded_text.h"
#include "kiroku/read/read_error.h"
#include "kiroku/xml_log.h"

namespace kiroku {

// Reads one Tenhou XML log (an "mjlog": <mjloggm ver="2.3">...): the game's
// type and players first, then, on request, each hand.  A caller that needs
// no hands (a game it refuses by its type) reads none of them, so their
// elements are never looked at.
//
// Every failure names the element and its byte offset: "<INIT> at byte
// 2301: attribute hai2 holds 12 tiles, expected 13".
class XmlReader {
 public:
  // Reads `text` up to its first hand.  `text` must outlive the reader,
  // which goes on reading it a piece at a time as hands are asked for: it
  // never holds more than a piece of the document and the hands not yet
  // handed out.  Not well-formed XML, a DOCTYPE among it, is refused with
  // the place it was met.  Throws std::bad_alloc when memory runs out.
  [[nodiscard]] static std::expected<XmlReader, ReadError> open(const PaddedText& text);

  // The same with the conforming parser alone, without the direct reading
  // of the form Tenhou writes: for the tests that hold the two to one result.
  [[nodiscard]] static std::expected<XmlReader, ReadError> open_with_parser(const PaddedText& text);

  XmlReader(XmlReader&&) noexcept;
  XmlReader& operator=(XmlReader&&) noexcept;
  ~XmlReader();

  // The game type and the players' names.
  XmlGame& game() noexcept;

  // Reads the next hand into `hand`, replacing what it held (its buffers are
  // reused); false after the last hand.
  [[nodiscard]] std::expected<bool, ReadError> next_hand(XmlHand& hand);

 private:
  struct State;
  explicit XmlReader(std::unique_ptr<State> state) noexcept;
  static std::expected<XmlReader, ReadError> open(const PaddedText& text, bool scan_first);
  std::unique_ptr<State> state_;
};

}  // namespace kiroku
