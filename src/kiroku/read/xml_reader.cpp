#include "kiroku/read/xml_reader.h"

#include <pugixml.hpp>

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "kiroku/read/xml_attributes.h"
#include "kiroku/tile_id.h"

namespace kiroku {

namespace {

// <T12/>: seat 0 draws tile 12, <U..>, <V..> and <W..> the other seats;
// <D12/>: seat 0 discards tile 12, <E..>, <F..> and <G..> the others.

constexpr unsigned kMaxTileId = kTileIdCount - 1;

// A hand of real play has some 150 steps; growing to that size in steps of
// two costs more than the few bytes a shorter hand leaves unused.
constexpr std::size_t kTypicalHandSteps = 192;

using detail::for_each_field;
using detail::parse_number;

// "<INIT> at byte 2301: attribute hai2 holds 12 tiles, expected 13".
std::string element_failure(pugi::xml_node element, std::string_view what) {
  std::string message;
  message += '<';
  message += element.name();
  message += "> at byte ";
  message += std::to_string(element.offset_debug());
  message += ": ";
  message += what;
  return message;
}

// The elements of the root, one at a time, into the game and its hands.
// Each member returns false at the first failure, with its message in error_.
class ElementReader {
 public:
  // The elements of `root` before the first hand, from `next` on: the game
  // type and the names.  Whether both were there, check_game says with
  // `next` where read_game left it: a game refused by its type alone needs
  // neither its names nor its hands.
  bool read_game(pugi::xml_node& next, XmlGame& game);
  bool check_game(pugi::xml_node root, pugi::xml_node next);
  // The elements of one hand, from its <INIT> to the next or the end.
  bool read_hand(pugi::xml_node& next, XmlHand& hand);

  std::string take_error() { return std::move(error_); }

 private:
  // --- failures: every one names the element and where it stands ------
  bool fail(pugi::xml_node element, std::string_view what) {
    error_ = element_failure(element, what);
    return false;
  }
  bool fail_attribute(pugi::xml_node element, std::string_view name, std::string_view what) {
    return fail(element, "attribute " + std::string(name) + " " + std::string(what));
  }

  // --- attributes -----------------------------------------------------
  std::optional<std::string_view> attribute(pugi::xml_node element, const char* name) {
    const pugi::xml_attribute found = element.attribute(name);
    if (!found) {
      fail(element, "missing attribute " + std::string(name));
      return std::nullopt;
    }
    return std::string_view(found.value());
  }
  template <typename Number>
  bool read_number(pugi::xml_node element, const char* name, Number max, Number& out) {
    const auto text = attribute(element, name);
    if (!text) return false;
    const auto value = parse_number<Number>(*text, Number{0}, max);
    if (!value) return fail_attribute(element, name, "is not a number from 0 to " + std::to_string(max));
    out = *value;
    return true;
  }
  bool read_seat(pugi::xml_node element, const char* name, std::uint8_t& out) {
    return read_number<std::uint8_t>(element, name, static_cast<std::uint8_t>(kSeatCount - 1), out);
  }
  bool read_tile_ids(pugi::xml_node element, std::string_view name, std::string_view text, std::size_t count,
                     TileId* out, std::vector<TileId>* list);
  bool read_score_changes(pugi::xml_node element, Scores& deltas);

  // --- elements -------------------------------------------------------
  bool read_game_type(pugi::xml_node element, XmlGame& game);
  bool read_names(pugi::xml_node element, XmlGame& game);
  bool read_hand_start(pugi::xml_node element, XmlHand& hand);
  bool read_step(pugi::xml_node element, XmlHand& hand);
  bool read_tile_step(pugi::xml_node element, XmlStep::Kind kind, std::size_t seat, std::string_view digits,
                      XmlHand& hand);
  bool read_meld(pugi::xml_node element, XmlHand& hand);
  bool read_riichi(pugi::xml_node element, XmlHand& hand);
  bool read_new_dora(pugi::xml_node element, XmlHand& hand);
  bool read_win(pugi::xml_node element, XmlHand& hand);
  bool read_abort(pugi::xml_node element, XmlHand& hand);

  std::string error_;
  bool has_game_type_ = false;
  bool has_names_ = false;
};

bool is_hand_start(pugi::xml_node element) { return std::string_view(element.name()) == "INIT"; }

bool ElementReader::read_tile_ids(pugi::xml_node element, std::string_view name, std::string_view text,
                                  std::size_t count, TileId* out, std::vector<TileId>* list) {
  const auto found = detail::read_tile_ids(text, count, out, list);
  if (!found) return fail_attribute(element, name, "holds something that is not a tile id from 0 to 135");
  if (list == nullptr && *found != count) {
    return fail_attribute(element, name,
                          "holds " + std::to_string(*found) + " tiles, expected " + std::to_string(count));
  }
  return true;
}

bool ElementReader::read_score_changes(pugi::xml_node element, Scores& deltas) {
  const auto text = attribute(element, "sc");
  if (!text) return false;
  const detail::ScoreChanges read = detail::read_score_changes(*text);
  if (read.fields == 0) return fail_attribute(element, "sc", "holds something that is not a score in hundreds");
  if (!read.changes) {
    return fail_attribute(element, "sc", "holds " + std::to_string(read.fields) + " numbers, expected 8");
  }
  deltas = *read.changes;
  return true;
}

bool ElementReader::read_game_type(pugi::xml_node element, XmlGame& game) {
  if (has_game_type_) return true;
  has_game_type_ = true;
  return read_number<std::uint16_t>(element, "type", std::numeric_limits<std::uint16_t>::max(), game.game_type);
}

// The first <UN> names the players; a later one is a reconnection.
bool ElementReader::read_names(pugi::xml_node element, XmlGame& game) {
  if (has_names_) return true;
  has_names_ = true;
  static constexpr const char* kNameAttributes[kSeatCount] = {"n0", "n1", "n2", "n3"};
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    const auto text = attribute(element, kNameAttributes[seat]);
    if (!text) return false;
    auto name = detail::url_decoded(*text);
    if (!name) return fail_attribute(element, kNameAttributes[seat], "is not URL-encoded UTF-8");
    game.names[seat] = std::move(*name);
  }
  return true;
}

bool ElementReader::read_game(pugi::xml_node& next, XmlGame& game) {
  for (; next && !is_hand_start(next); next = next.next_sibling()) {
    const std::string_view tag = next.name();
    if (tag == "GO") {
      if (!read_game_type(next, game)) return false;
    } else if (tag == "UN") {
      if (!read_names(next, game)) return false;
    } else if (tag == "N" || tag == "REACH" || tag == "DORA" || tag == "AGARI" || tag == "RYUUKYOKU" ||
               (tag.size() > 1 && static_cast<unsigned>(tag[1] - '0') <= 9 &&
                (static_cast<unsigned>(tag[0] - 'T') < kSeatCount ||
                 static_cast<unsigned>(tag[0] - 'D') < kSeatCount))) {
      return fail(next, "play before the first <INIT>");
    }
    // SHUFFLE (the wall's seed), TAIKYOKU (the game starts) and anything
    // newer change no event.
  }
  return true;
}

bool ElementReader::check_game(pugi::xml_node root, pugi::xml_node next) {
  if (next) {
    if (!has_game_type_) return fail(next, "a hand starts before the game type <GO>");
    if (!has_names_) return fail(next, "a hand starts before the players' names <UN>");
  } else {
    if (!has_game_type_) return fail(root, "no game type <GO>");
    if (!has_names_) return fail(root, "no players' names <UN>");
  }
  return true;
}

bool ElementReader::read_hand_start(pugi::xml_node element, XmlHand& hand) {
  // One pass over the attributes rather than a search for each of the seven.
  enum Field : std::size_t { kSeed, kTen, kOya, kHai0, kFieldCount = kHai0 + kSeatCount };
  static constexpr std::array<std::string_view, kFieldCount> kFieldNames = {"seed", "ten",  "oya", "hai0",
                                                                            "hai1", "hai2", "hai3"};
  std::array<const char*, kFieldCount> values{};
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    const std::string_view name = attribute.name();
    for (std::size_t field = 0; field < kFieldCount; ++field) {
      if (name == kFieldNames[field] && values[field] == nullptr) values[field] = attribute.value();
    }
  }
  for (std::size_t field = 0; field < kFieldCount; ++field) {
    if (values[field] == nullptr) return fail(element, "missing attribute " + std::string(kFieldNames[field]));
  }

  // "seed": round, honba, riichi sticks, the two dice, the dora indicator.
  std::array<unsigned, 6> numbers{};
  std::size_t found = 0;
  bool valid = true;
  for_each_field(values[kSeed], [&](std::string_view field) {
    const unsigned max = found == 5 ? kMaxTileId : std::numeric_limits<std::uint8_t>::max();
    const auto value = parse_number<unsigned>(field, 0, max);
    if (!value) valid = false;
    if (valid && found < numbers.size()) numbers[found] = *value;
    ++found;
  });
  if (!valid || found != numbers.size()) {
    return fail_attribute(element, "seed", "is not round, honba, sticks, two dice and a tile id");
  }
  hand.id = HandId{.hand_index = static_cast<std::uint8_t>(numbers[0]),
                   .honba = static_cast<std::uint8_t>(numbers[1]),
                   .deposits = static_cast<std::uint8_t>(numbers[2])};
  hand.dora_indicators.push_back(static_cast<TileId>(numbers[5]));

  const auto scores = detail::read_scores(values[kTen]);
  if (!scores) return fail_attribute(element, "ten", "is not four scores in hundreds");
  hand.scores = *scores;

  const auto dealer = parse_number<std::uint8_t>(values[kOya], 0, kSeatCount - 1);
  if (!dealer) return fail_attribute(element, "oya", "is not a number from 0 to 3");
  hand.dealer = *dealer;
  if (hand.dealer != hand.id.hand_index % kSeatCount) {
    return fail_attribute(element, "oya", "does not name the dealer of round " + std::to_string(numbers[0]));
  }
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    if (!read_tile_ids(element, kFieldNames[kHai0 + seat], values[kHai0 + seat], kStartingHandSize,
                       hand.starting_hands[seat].data(), nullptr)) {
      return false;
    }
  }
  return true;
}

bool ElementReader::read_tile_step(pugi::xml_node element, XmlStep::Kind kind, std::size_t seat,
                                   std::string_view digits, XmlHand& hand) {
  const auto id = detail::tile_id_in_name(digits);
  if (!id) return fail(element, "tile id " + std::string(digits) + " is not from 0 to 135");
  hand.steps.push_back(XmlStep{.kind = kind, .seat = static_cast<std::uint8_t>(seat), .tile = *id});
  return true;
}

bool ElementReader::read_meld(pugi::xml_node element, XmlHand& hand) {
  std::uint8_t seat = 0;
  std::uint16_t code = 0;
  if (!read_seat(element, "who", seat)) return false;
  if (!read_number<std::uint16_t>(element, "m", std::numeric_limits<std::uint16_t>::max(), code)) return false;
  hand.steps.push_back(
      XmlStep{.kind = XmlStep::Kind::Meld, .seat = seat, .index = static_cast<std::uint32_t>(hand.call_codes.size())});
  hand.call_codes.push_back(code);
  return true;
}

bool ElementReader::read_riichi(pugi::xml_node element, XmlHand& hand) {
  std::uint8_t seat = 0;
  std::uint8_t step = 0;
  if (!read_seat(element, "who", seat) || !read_number<std::uint8_t>(element, "step", 2, step)) return false;
  if (step == 0) return fail_attribute(element, "step", "is not 1 or 2");
  hand.steps.push_back(
      XmlStep{.kind = step == 1 ? XmlStep::Kind::RiichiDeclared : XmlStep::Kind::RiichiAccepted, .seat = seat});
  return true;
}

bool ElementReader::read_new_dora(pugi::xml_node element, XmlHand& hand) {
  TileId id = 0;
  if (!read_number<TileId>(element, "hai", kMaxTileId, id)) return false;
  hand.dora_indicators.push_back(id);
  return true;
}

bool ElementReader::read_win(pugi::xml_node element, XmlHand& hand) {
  XmlWin win;
  if (!read_seat(element, "who", win.winner) || !read_seat(element, "fromWho", win.from) ||
      !read_score_changes(element, win.deltas)) {
    return false;
  }
  // Ura indicators show only for a winner in riichi; the first that shows
  // them gives the hand's list.
  if (const pugi::xml_attribute ura = element.attribute("doraHaiUra"); ura && hand.ura_indicators.empty()) {
    if (!read_tile_ids(element, "doraHaiUra", ura.value(), 0, nullptr, &hand.ura_indicators)) return false;
  }
  hand.steps.push_back(XmlStep{.kind = XmlStep::Kind::Win, .index = static_cast<std::uint32_t>(hand.wins.size())});
  hand.wins.push_back(win);
  return true;
}

bool ElementReader::read_abort(pugi::xml_node element, XmlHand& hand) {
  XmlDrawEnd end;
  if (const pugi::xml_attribute type = element.attribute("type")) {
    static constexpr std::pair<std::string_view, XmlDrawEnd::Kind> kKinds[] = {
        {"yao9", XmlDrawEnd::Kind::NineTerminals}, {"reach4", XmlDrawEnd::Kind::FourRiichi},
        {"ron3", XmlDrawEnd::Kind::TripleRon},     {"kan4", XmlDrawEnd::Kind::FourKans},
        {"kaze4", XmlDrawEnd::Kind::FourWinds},    {"nm", XmlDrawEnd::Kind::NagashiMangan},
    };
    const std::string_view name = type.value();
    bool known = false;
    for (const auto& [text, kind] : kKinds) {
      if (name == text) {
        end.kind = kind;
        known = true;
      }
    }
    if (!known) return fail_attribute(element, "type", "names no kind of drawn hand");
  }
  if (!read_score_changes(element, end.deltas)) return false;
  hand.draw_end = end;
  hand.steps.push_back(XmlStep{.kind = XmlStep::Kind::Abort});
  return true;
}

bool ElementReader::read_step(pugi::xml_node element, XmlHand& hand) {
  // Nearly every element is a draw or a discard: a seat letter and a tile id.
  const char* name = element.name();
  const bool numbered = name[0] != '\0' && static_cast<unsigned>(name[1] - '0') <= 9;
  if (numbered) {
    // The four letters of each kind stand in a row: T U V W, and D E F G.
    if (const auto seat = static_cast<unsigned>(name[0] - 'T'); seat < kSeatCount) {
      return read_tile_step(element, XmlStep::Kind::Draw, seat, name + 1, hand);
    }
    if (const auto seat = static_cast<unsigned>(name[0] - 'D'); seat < kSeatCount) {
      return read_tile_step(element, XmlStep::Kind::Discard, seat, name + 1, hand);
    }
  }
  const std::string_view tag = name;
  if (tag == "N") return read_meld(element, hand);
  if (tag == "REACH") return read_riichi(element, hand);
  if (tag == "DORA") return read_new_dora(element, hand);
  if (tag == "AGARI") return read_win(element, hand);
  if (tag == "RYUUKYOKU") return read_abort(element, hand);
  // A second GO or UN (a reconnection), BYE (a player left) and anything
  // newer change no event; text between elements has no name and is passed
  // over the same way.
  return true;
}

bool ElementReader::read_hand(pugi::xml_node& next, XmlHand& hand) {
  hand.dora_indicators.clear();
  hand.ura_indicators.clear();
  hand.steps.clear();
  hand.steps.reserve(kTypicalHandSteps);
  hand.call_codes.clear();
  hand.wins.clear();
  hand.draw_end = {};
  if (!read_hand_start(next, hand)) return false;
  for (next = next.next_sibling(); next && !is_hand_start(next); next = next.next_sibling()) {
    if (!read_step(next, hand)) return false;
  }
  return true;
}

}  // namespace

struct XmlReader::State {
  pugi::xml_document document;
  pugi::xml_node root;
  pugi::xml_node next;  // the root's next child element to read
  bool hands_started = false;
  XmlGame game;
  ElementReader elements;
};

XmlReader::XmlReader(std::unique_ptr<State> state) noexcept : state_(std::move(state)) {}
XmlReader::XmlReader(XmlReader&&) noexcept = default;
XmlReader& XmlReader::operator=(XmlReader&&) noexcept = default;
XmlReader::~XmlReader() = default;

std::expected<XmlReader, ReadError> XmlReader::open(PaddedText& text) {
  auto state = std::make_unique<State>();
  // Only elements and attributes matter; entities in attribute values are
  // decoded as XML requires.
  constexpr unsigned kOptions = pugi::parse_minimal | pugi::parse_escapes;
  const pugi::xml_parse_result parsed =
      state->document.load_buffer_inplace(text.data(), text.size(), kOptions, pugi::encoding_utf8);
  if (!parsed) {
    return std::unexpected(
        ReadError{"malformed XML: " + std::string(parsed.description()) + " at byte " + std::to_string(parsed.offset)});
  }
  pugi::xml_node root;
  for (pugi::xml_node node = state->document.first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element) continue;
    if (root) return std::unexpected(ReadError{element_failure(node, "a second root element")});
    root = node;
  }
  if (std::string_view(root.name()) != "mjloggm") {
    return std::unexpected(ReadError{element_failure(root, "not a Tenhou XML log (its root is not <mjloggm>)")});
  }
  state->root = root;
  state->next = root.first_child();
  if (!state->elements.read_game(state->next, state->game)) {
    return std::unexpected(ReadError{state->elements.take_error()});
  }
  return XmlReader(std::move(state));
}

XmlGame& XmlReader::game() noexcept { return state_->game; }

std::expected<bool, ReadError> XmlReader::next_hand(XmlHand& hand) {
  if (!std::exchange(state_->hands_started, true) && !state_->elements.check_game(state_->root, state_->next)) {
    return std::unexpected(ReadError{state_->elements.take_error()});
  }
  if (!state_->next) return false;
  if (!state_->elements.read_hand(state_->next, hand)) return std::unexpected(ReadError{state_->elements.take_error()});
  return true;
}

}  // namespace kiroku
