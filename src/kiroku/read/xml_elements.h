// What each element of Tenhou's XML log means: the game's type and players,
// then per hand its INIT and its steps.  The XML reader's own declarations,
// shared by the files of this folder and by nothing else; the parsing
// library stays behind xml_reader.cpp.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kiroku/xml_log.h"

namespace kiroku::detail {

struct XmlAttribute {
  std::string_view name;
  std::string_view value;  // entities decoded
};

// One element as the parser saw it; the views live until the next element.
struct XmlElement {
  std::string_view name;
  std::span<const XmlAttribute> attributes;
  // Where the element starts in the text (its name's offset), for messages:
  // `offset`, or what `locate(parser)` finds, which is asked only when a
  // message is made.
  std::size_t known_offset = 0;
  std::size_t (*locate)(const void* parser) = nullptr;
  const void* parser = nullptr;

  std::size_t offset() const noexcept { return locate != nullptr ? locate(parser) : known_offset; }

  std::optional<std::string_view> attribute(std::string_view key) const noexcept {
    for (const XmlAttribute& a : attributes) {
      if (a.name == key) return a.value;
    }
    return std::nullopt;
  }
};

// Takes the elements of the root in document order and makes them into the
// game and its hands.  A hand is complete once the next hand starts or the
// root ends (a double ron has two wins); complete hands wait in `hands()`.
// Each member returns false at the first failure, with its message in
// error().
class XmlRecord {
 public:
  // The root element, a <mjloggm> at `offset`, has started.
  void start_root(std::size_t offset) noexcept { root_offset_ = offset; }
  [[nodiscard]] bool take(const XmlElement& element);
  // The root has ended.
  void finish();

  XmlGame& game() noexcept { return game_; }
  // Whether everything before the first hand has been seen.
  bool game_complete() const noexcept { return in_hands_ || finished_; }
  bool has_game_type_and_names() const noexcept { return has_game_type_ && has_names_; }
  // The game's type and names were both there: false, with the message, for
  // a log that starts a hand (or ends) without them.  A game refused by its
  // type alone needs neither its names nor its hands, so this is asked only
  // when the hands are.
  [[nodiscard]] bool check_game();

  std::deque<XmlHand>& hands() noexcept { return hands_; }
  bool finished() const noexcept { return finished_; }
  std::string take_error() { return std::move(error_); }

 private:
  bool fail(const XmlElement& element, std::string_view what);
  bool fail_attribute(const XmlElement& element, std::string_view name, std::string_view what);

  std::optional<std::string_view> required(const XmlElement& element, std::string_view name);
  template <typename Number>
  bool read_number(const XmlElement& element, std::string_view name, Number max, Number& out);
  bool read_seat(const XmlElement& element, std::string_view name, std::uint8_t& out);
  bool read_tile_ids(const XmlElement& element, std::string_view name, std::string_view text, std::size_t count,
                     TileId* out, std::vector<TileId>* list);
  bool read_score_changes(const XmlElement& element, Scores& deltas);
  bool read_final_scores(const XmlElement& element, XmlHand& hand);

  bool read_game_type(const XmlElement& element);
  bool read_players(const XmlElement& element);
  bool read_connection(const XmlElement& element, bool returned);
  bool read_hand_start(const XmlElement& element);
  bool read_step(const XmlElement& element, XmlHand& hand);
  bool read_tile_step(const XmlElement& element, XmlStep::Kind kind, std::size_t seat, XmlHand& hand);
  bool read_meld(const XmlElement& element, XmlHand& hand);
  bool read_riichi(const XmlElement& element, XmlHand& hand);
  bool read_new_dora(const XmlElement& element, XmlHand& hand);
  bool read_win(const XmlElement& element, XmlHand& hand);
  bool read_draw(const XmlElement& element, XmlHand& hand);

  XmlGame game_;
  std::deque<XmlHand> hands_;
  std::optional<XmlHand> current_;  // the hand whose elements are coming
  std::uint32_t steps_ = 0;         // elements of the current hand after its INIT
  std::string error_;
  std::optional<std::size_t> hand_without_game_;  // the offset of a first INIT that came too early
  std::size_t root_offset_ = 0;
  bool has_game_type_ = false;
  bool has_names_ = false;
  bool in_hands_ = false;
  bool finished_ = false;
};

}  // namespace kiroku::detail
