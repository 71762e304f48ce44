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
  // Parses `text` in place (entities are decoded and names terminated
  // inside it, so it no longer holds the log) and reads up to the first
  // hand.  `text` must outlive the reader.
  [[nodiscard]] static std::expected<XmlReader, ReadError> open(PaddedText& text);

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
  std::unique_ptr<State> state_;
};

}  // namespace kiroku
