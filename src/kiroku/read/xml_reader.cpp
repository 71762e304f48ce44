#include "kiroku/tile_id.h"
#include "kiroku/read/xml_reader.h"

#include <pugixml.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "kiroku/io/utf8.h"
#include "kiroku/read/meld_code.h"

namespace kiroku {

namespace {

// <T12/>: seat 0 draws tile 12, <U..>, <V..> and <W..> the other seats;
// <D12/>: seat 0 discards tile 12, <E..>, <F..> and <G..> the others.

constexpr unsigned kMaxTileId = kTileIdCount - 1;

constexpr std::size_t kTypicalHandSteps = 192;
constexpr std::size_t kTypicalHands = 16;

// Scores and score changes are written in hundreds of points.
constexpr std::int32_t kPointsPerUnit = 100;

// A number of the log's attributes and element names: decimal digits, with a
// minus sign first where `min` allows one, and no other character.  Written
// out rather than left to from_chars: the numbers are short and many (every
// draw and discard is one), and this is the reader's inner loop.
template <typename Number>
std::optional<Number> parse_number(std::string_view text, Number min, Number max) noexcept {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  // Ten digits hold every value of the fields read here and cannot overflow 64 bits.
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    const auto digit = static_cast<unsigned>(c - '0');
    if (digit > 9) return std::nullopt;
    value = value * 10 + digit;
  }
  if (negative) value = -value;
  if (value < static_cast<std::int64_t>(min) || value > static_cast<std::int64_t>(max)) return std::nullopt;
  return static_cast<Number>(value);
}

// Calls `each(field)` for every comma-separated field of `text`.
template <typename Each>
void for_each_field(std::string_view text, Each each) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ',') continue;
    each(text.substr(start, i - start));
    start = i + 1;
  }
  each(text.substr(start));
}

// The tile id that ends an element's name ("T12": 12), or nothing unless it
// is one to three digits from 0 to 135.
std::optional<TileId> tile_id_in_name(const char* digits) noexcept {
  unsigned id = 0;
  std::size_t count = 0;
  for (; digits[count] != '\0'; ++count) {
    const auto digit = static_cast<unsigned>(digits[count] - '0');
    if (digit > 9 || count == 3) return std::nullopt;
    id = id * 10 + digit;
  }
  if (count == 0 || id >= kTileIdCount) return std::nullopt;
  return static_cast<TileId>(id);
}

int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Player names are URL-encoded UTF-8: every %HH is one byte.
std::optional<std::string> url_decoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (!is_valid_utf8(out)) return std::nullopt;
  return out;
}

class XmlReader {
 public:
  bool read(const pugi::xml_document& document, XmlLog& out);
  std::string take_error() { return std::move(error_); }

 private:
  // --- failures: every one names the element and where it stands ------
  bool fail(pugi::xml_node element, std::string_view what) {
    error_ = "<" + std::string(element.name()) + "> at byte " + std::to_string(element.offset_debug()) + ": ";
    error_ += what;
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
  bool read_number(pugi::xml_node element, const char* name, Number max, Number& out);
  bool read_seat(pugi::xml_node element, const char* name, std::uint8_t& out) {
    return read_number<std::uint8_t>(element, name, static_cast<std::uint8_t>(kSeatCount - 1), out);
  }
  bool read_tile_list(pugi::xml_node element, const char* name, std::size_t count, TileId* out,
                      std::vector<TileId>* list);
  bool read_tile_list(pugi::xml_node element, std::string_view name, const char* value, std::size_t count, TileId* out,
                      std::vector<TileId>* list);
  bool read_score_changes(pugi::xml_node element, Scores& deltas);

  // --- elements -------------------------------------------------------
  bool read_element(pugi::xml_node element, XmlLog& out);
  bool read_game_type(pugi::xml_node element, XmlLog& out);
  bool read_names(pugi::xml_node element, XmlLog& out);
  bool read_hand_start(pugi::xml_node element, XmlLog& out);
  bool read_tile_step(pugi::xml_node element, XmlStep::Kind kind, std::size_t seat, const char* digits);
  bool read_meld(pugi::xml_node element);
  bool read_riichi(pugi::xml_node element);
  bool read_new_dora(pugi::xml_node element);
  bool read_win(pugi::xml_node element);
  bool read_abort(pugi::xml_node element);
  // The hand the element belongs to; fails before the first <INIT>.
  XmlHand* current_hand(pugi::xml_node element) {
    if (hand_ == nullptr) fail(element, "play before the first <INIT>");
    return hand_;
  }

  std::string error_;
  XmlHand* hand_ = nullptr;
  bool has_game_type_ = false;
  bool has_names_ = false;
};

template <typename Number>
bool XmlReader::read_number(pugi::xml_node element, const char* name, Number max, Number& out) {
  const auto text = attribute(element, name);
  if (!text) return false;
  const auto value = parse_number<Number>(*text, Number{0}, max);
  if (!value) return fail_attribute(element, name, "is not a number from 0 to " + std::to_string(max));
  out = *value;
  return true;
}

// Reads the comma-separated tile ids of attribute `name`: exactly `count`
// of them into `out`, or any number (none included) appended to `list`.
// Every hand's four starting hands go through here: the digits are read in
// one pass.
bool XmlReader::read_tile_list(pugi::xml_node element, const char* name, std::size_t count, TileId* out,
                                  std::vector<TileId>* list) {
  const pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) return fail(element, "missing attribute " + std::string(name));
  return read_tile_list(element, name, attribute.value(), count, out, list);
}

bool XmlReader::read_tile_list(pugi::xml_node element, std::string_view name, const char* next, std::size_t count,
                                  TileId* out, std::vector<TileId>* list) {
  std::size_t found = 0;
  while (*next != '\0') {
    unsigned id = 0;
    std::size_t digits = 0;
    for (; static_cast<unsigned>(*next - '0') <= 9 && digits <= 3; ++next, ++digits) {
      id = id * 10 + static_cast<unsigned>(*next - '0');
    }
    const bool separated = *next == '\0' || (*next == ',' && next[1] != '\0');
    if (digits == 0 || digits > 3 || id > kMaxTileId || !separated) {
      return fail_attribute(element, name, "holds something that is not a tile id from 0 to 135");
    }
    if (list != nullptr) {
      list->push_back(static_cast<TileId>(id));
    } else if (found < count) {
      out[found] = static_cast<TileId>(id);
    }
    ++found;
    if (*next == ',') ++next;
  }
  if (list == nullptr && found != count) {
    return fail_attribute(element, name,
                          "holds " + std::to_string(found) + " tiles, expected " + std::to_string(count));
  }
  return true;
}

// "sc": each seat's score and its change, in hundreds of points, in turns.
bool XmlReader::read_score_changes(pugi::xml_node element, Scores& deltas) {
  const auto text = attribute(element, "sc");
  if (!text) return false;
  constexpr std::int32_t kLimit = std::numeric_limits<std::int32_t>::max() / kPointsPerUnit;
  std::size_t found = 0;
  bool valid = true;
  for_each_field(*text, [&](std::string_view field) {
    const auto value = parse_number<std::int32_t>(field, -kLimit, kLimit);
    if (!value) valid = false;
    if (valid && found < 2 * kSeatCount && found % 2 == 1) deltas[found / 2] = *value * kPointsPerUnit;
    ++found;
  });
  if (!valid) return fail_attribute(element, "sc", "holds something that is not a score in hundreds");
  if (found != 2 * kSeatCount) {
    return fail_attribute(element, "sc", "holds " + std::to_string(found) + " numbers, expected 8");
  }
  return true;
}

bool XmlReader::read_game_type(pugi::xml_node element, XmlLog& out) {
  if (has_game_type_) return true;
  if (hand_ != nullptr) return fail(element, "the game type comes after the first <INIT>");
  has_game_type_ = true;
  return read_number<std::uint16_t>(element, "type", std::numeric_limits<std::uint16_t>::max(), out.game_type);
}

// The first <UN> names the players; a later one is a reconnection.
bool XmlReader::read_names(pugi::xml_node element, XmlLog& out) {
  if (has_names_) return true;
  has_names_ = true;
  static constexpr const char* kNameAttributes[kSeatCount] = {"n0", "n1", "n2", "n3"};
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    const auto text = attribute(element, kNameAttributes[seat]);
    if (!text) return false;
    auto name = url_decoded(*text);
    if (!name) return fail_attribute(element, kNameAttributes[seat], "is not URL-encoded UTF-8");
    out.names[seat] = std::move(*name);
  }
  return true;
}

bool XmlReader::read_hand_start(pugi::xml_node element, XmlLog& out) {
  if (!has_game_type_) return fail(element, "a hand starts before the game type <GO>");
  if (!has_names_) return fail(element, "a hand starts before the players' names <UN>");
  XmlHand& hand = out.hands.emplace_back();
  hand_ = &hand;
  // A hand of real play has some 150 steps; growing to that size in steps
  // of two costs more than the few bytes a shorter hand leaves unused.
  hand.actions.reserve(kTypicalHandSteps);

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
  const std::optional<std::string_view> seed = values[kSeed];
  std::array<unsigned, 6> numbers{};
  std::size_t found = 0;
  bool valid = true;
  for_each_field(*seed, [&](std::string_view field) {
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

  const std::optional<std::string_view> ten = values[kTen];
  constexpr std::int32_t kLimit = std::numeric_limits<std::int32_t>::max() / kPointsPerUnit;
  found = 0;
  for_each_field(*ten, [&](std::string_view field) {
    const auto value = parse_number<std::int32_t>(field, -kLimit, kLimit);
    if (!value) valid = false;
    if (valid && found < kSeatCount) hand.scores[found] = *value * kPointsPerUnit;
    ++found;
  });
  if (!valid || found != kSeatCount) return fail_attribute(element, "ten", "is not four scores in hundreds");

  const auto dealer = parse_number<std::uint8_t>(values[kOya], 0, kSeatCount - 1);
  if (!dealer) return fail_attribute(element, "oya", "is not a number from 0 to 3");
  hand.dealer = *dealer;
  if (hand.dealer != hand.id.hand_index % kSeatCount) {
    return fail_attribute(element, "oya", "does not name the dealer of round " + std::to_string(numbers[0]));
  }
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    if (!read_tile_list(element, kFieldNames[kHai0 + seat], values[kHai0 + seat], kStartingHandSize,
                        hand.starting_hands[seat].data(), nullptr)) {
      return false;
    }
  }
  return true;
}

bool XmlReader::read_tile_step(pugi::xml_node element, XmlStep::Kind kind, std::size_t seat, const char* digits) {
  XmlHand* hand = current_hand(element);
  if (hand == nullptr) return false;
  const auto id = tile_id_in_name(digits);
  if (!id) return fail(element, "tile id " + std::string(digits) + " is not from 0 to 135");
  hand->actions.push_back(XmlStep{.kind = kind, .seat = static_cast<std::uint8_t>(seat), .tile = *id});
  return true;
}

bool XmlReader::read_meld(pugi::xml_node element) {
  XmlHand* hand = current_hand(element);
  if (hand == nullptr) return false;
  std::uint8_t seat = 0;
  std::uint16_t code = 0;
  if (!read_seat(element, "who", seat)) return false;
  if (!read_number<std::uint16_t>(element, "m", std::numeric_limits<std::uint16_t>::max(), code)) return false;
  const auto meld = decode_meld_code(code);
  if (!meld) return fail_attribute(element, "m", "is not the code of a four-player call");
  hand->actions.push_back(XmlStep{
      .kind = XmlStep::Kind::Meld, .seat = seat, .index = static_cast<std::uint32_t>(hand->melds.size())});
  hand->melds.push_back(*meld);
  return true;
}

bool XmlReader::read_riichi(pugi::xml_node element) {
  XmlHand* hand = current_hand(element);
  if (hand == nullptr) return false;
  std::uint8_t seat = 0;
  std::uint8_t step = 0;
  if (!read_seat(element, "who", seat) || !read_number<std::uint8_t>(element, "step", 2, step)) return false;
  if (step == 0) return fail_attribute(element, "step", "is not 1 or 2");
  hand->actions.push_back(XmlStep{
      .kind = step == 1 ? XmlStep::Kind::RiichiDeclared : XmlStep::Kind::RiichiAccepted, .seat = seat});
  return true;
}

bool XmlReader::read_new_dora(pugi::xml_node element) {
  XmlHand* hand = current_hand(element);
  if (hand == nullptr) return false;
  TileId id = 0;
  if (!read_number<TileId>(element, "hai", kMaxTileId, id)) return false;
  hand->dora_indicators.push_back(id);
  return true;
}

bool XmlReader::read_win(pugi::xml_node element) {
  XmlHand* hand = current_hand(element);
  if (hand == nullptr) return false;
  XmlWin win;
  if (!read_seat(element, "who", win.winner) || !read_seat(element, "fromWho", win.from) ||
      !read_score_changes(element, win.deltas)) {
    return false;
  }
  // Ura indicators show only for a winner in riichi; the first that shows
  // them gives the hand's list.
  if (element.attribute("doraHaiUra") && hand->ura_indicators.empty()) {
    if (!read_tile_list(element, "doraHaiUra", 0, nullptr, &hand->ura_indicators)) return false;
  }
  hand->actions.push_back(
      XmlStep{.kind = XmlStep::Kind::Win, .index = static_cast<std::uint32_t>(hand->wins.size())});
  hand->wins.push_back(win);
  return true;
}

bool XmlReader::read_abort(pugi::xml_node element) {
  XmlHand* hand = current_hand(element);
  if (hand == nullptr) return false;
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
  hand->draw_end = end;
  hand->actions.push_back(XmlStep{.kind = XmlStep::Kind::Abort});
  return true;
}

bool XmlReader::read_element(pugi::xml_node element, XmlLog& out) {
  // Nearly every element is a draw or a discard: a seat letter and a tile id.
  const char* name = element.name();
  const bool numbered = name[0] != '\0' && static_cast<unsigned>(name[1] - '0') <= 9;
  if (numbered) {
    // The four letters of each kind stand in a row: T U V W, and D E F G.
    if (const auto seat = static_cast<unsigned>(name[0] - 'T'); seat < kSeatCount) {
      return read_tile_step(element, XmlStep::Kind::Draw, seat, name + 1);
    }
    if (const auto seat = static_cast<unsigned>(name[0] - 'D'); seat < kSeatCount) {
      return read_tile_step(element, XmlStep::Kind::Discard, seat, name + 1);
    }
  }
  const std::string_view tag = name;
  if (tag == "N") return read_meld(element);
  if (tag == "REACH") return read_riichi(element);
  if (tag == "DORA") return read_new_dora(element);
  if (tag == "AGARI") return read_win(element);
  if (tag == "RYUUKYOKU") return read_abort(element);
  if (tag == "INIT") return read_hand_start(element, out);
  if (tag == "GO") return read_game_type(element, out);
  if (tag == "UN") return read_names(element, out);
  // SHUFFLE (the wall's seed), TAIKYOKU (the game starts), BYE (a player
  // left) and anything newer change no event.
  return true;
}

bool XmlReader::read(const pugi::xml_document& document, XmlLog& out) {
  pugi::xml_node root;
  for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element) continue;
    if (root) return fail(node, "a second root element");
    root = node;
  }
  if (std::string_view(root.name()) != "mjloggm") return fail(root, "not a Tenhou XML log (its root is not <mjloggm>)");
  for (pugi::xml_node element = root.first_child(); element; element = element.next_sibling()) {
    // Only elements have names; text between them is passed over by the
    // name's dispatch like an element of no meaning.
    if (!read_element(element, out)) return false;
    // A three-player game is refused by its type alone; its elements follow
    // rules of their own, so they are not read.
    if (has_game_type_ && (out.game_type & game_type::kThreePlayer) != 0) return true;
  }
  if (!has_game_type_) return fail(root, "no game type <GO>");
  if (!has_names_) return fail(root, "no players' names <UN>");
  return true;
}

}  // namespace

std::expected<XmlLog, ReadError> read_xml_log(PaddedText& text) {
  pugi::xml_document document;
  // Only elements and attributes matter; entities in attribute values are
  // decoded as XML requires.
  constexpr unsigned kOptions = pugi::parse_minimal | pugi::parse_escapes;
  const pugi::xml_parse_result parsed =
      document.load_buffer_inplace(text.data(), text.size(), kOptions, pugi::encoding_utf8);
  if (!parsed) {
    return std::unexpected(
        ReadError{"malformed XML: " + std::string(parsed.description()) + " at byte " + std::to_string(parsed.offset)});
  }
  XmlLog log;
  log.hands.reserve(kTypicalHands);
  XmlReader reader;
  if (!reader.read(document, log)) return std::unexpected(ReadError{reader.take_error()});
  return log;
}

}  // namespace kiroku
