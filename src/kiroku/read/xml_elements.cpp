#include "kiroku/read/xml_elements.h"

#include <array>
#include <charconv>  // from_chars of the decimal ratings and points
#include <cstdint>
#include <limits>
#include <utility>

#include "kiroku/io/quoted_text.h"
#include "kiroku/read/xml_attributes.h"
#include "kiroku/tile_id.h"

namespace kiroku::detail {

namespace {

// <T12/>: seat 0 draws tile 12, <U..>, <V..> and <W..> the other seats;
// <D12/>: seat 0 discards tile 12, <E..>, <F..> and <G..> the others.

constexpr unsigned kMaxTileId = kTileIdCount - 1;

// A hand of real play has some 150 steps; growing to that size in steps of
// two costs more than the few bytes a shorter hand leaves unused.
constexpr std::size_t kTypicalHandSteps = 192;
// A wall gives at most 70 draws and as many discards, with some calls,
// riichi steps and kans besides: no game's hand has more steps than this,
// and a record that does is refused before it takes the memory of one.
constexpr std::size_t kMaxHandSteps = 1024;

constexpr std::array<std::string_view, kSeatCount> kNameAttributes = {"n0", "n1", "n2", "n3"};
constexpr std::array<std::string_view, kSeatCount> kHandAttributes = {"hai0", "hai1", "hai2", "hai3"};

// The seat a draw or discard element names ("T12": 0, "E5": 1), or none.
struct TileStep {
  XmlStep::Kind kind;
  std::size_t seat;
};

std::optional<TileStep> tile_step_of(std::string_view name) noexcept {
  if (name.size() < 2 || static_cast<unsigned>(name[1] - '0') > 9) return std::nullopt;
  // The four letters of each kind stand in a row: T U V W, and D E F G.
  if (const auto seat = static_cast<unsigned>(name[0] - 'T'); seat < kSeatCount) {
    return TileStep{XmlStep::Kind::Draw, seat};
  }
  if (const auto seat = static_cast<unsigned>(name[0] - 'D'); seat < kSeatCount) {
    return TileStep{XmlStep::Kind::Discard, seat};
  }
  return std::nullopt;
}

bool is_play(std::string_view name) noexcept {
  return tile_step_of(name) || name == "N" || name == "REACH" || name == "DORA" || name == "AGARI" ||
         name == "RYUUKYOKU";
}

std::optional<double> decimal(std::string_view text) noexcept {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

// --- failures: every one names the element and where it stands -----------

bool XmlRecord::fail(const XmlElement& element, std::string_view what) {
  // "<INIT> at byte 2301: attribute hai2 holds 12 tiles, expected 13".  The
  // name is the log's: quoted as every log byte in a message is, bounded.
  error_ = '<' + shown_log_name(element.name) + "> at byte " + std::to_string(element.offset()) + ": ";
  error_ += what;
  return false;
}

bool XmlRecord::fail_attribute(const XmlElement& element, std::string_view name, std::string_view what) {
  return fail(element, "attribute " + std::string(name) + " " + std::string(what));
}

// --- attributes ---------------------------------------------------------

std::optional<std::string_view> XmlRecord::required(const XmlElement& element, std::string_view name) {
  auto value = element.attribute(name);
  if (!value) fail(element, "missing attribute " + std::string(name));
  return value;
}

template <typename Number>
bool XmlRecord::read_number(const XmlElement& element, std::string_view name, Number max, Number& out) {
  const auto text = required(element, name);
  if (!text) return false;
  const auto value = parse_number<Number>(*text, Number{0}, max);
  if (!value) return fail_attribute(element, name, "is not a number from 0 to " + std::to_string(max));
  out = *value;
  return true;
}

bool XmlRecord::read_seat(const XmlElement& element, std::string_view name, std::uint8_t& out) {
  return read_number<std::uint8_t>(element, name, static_cast<std::uint8_t>(kSeatCount - 1), out);
}

bool XmlRecord::read_tile_ids(const XmlElement& element, std::string_view name, std::string_view text,
                              std::size_t count, TileId* out, std::vector<TileId>* list) {
  const auto found = detail::read_tile_ids(text, count, out, list);
  if (!found) return fail_attribute(element, name, "holds something that is not a tile id from 0 to 135");
  if (list == nullptr && *found != count) {
    return fail_attribute(element, name,
                          "holds " + std::to_string(*found) + " tiles, expected " + std::to_string(count));
  }
  return true;
}

bool XmlRecord::read_score_changes(const XmlElement& element, Scores& deltas) {
  const auto text = required(element, "sc");
  if (!text) return false;
  const ScoreChanges read = detail::read_score_changes(*text);
  if (read.fields == 0) return fail_attribute(element, "sc", "holds something that is not a score in hundreds");
  if (!read.changes) {
    return fail_attribute(element, "sc", "holds " + std::to_string(read.fields) + " numbers, expected 8");
  }
  deltas = *read.changes;
  return true;
}

// "owari": each seat's final score in hundreds and its placement points.
bool XmlRecord::read_final_scores(const XmlElement& element, XmlHand& hand) {
  const auto text = element.attribute("owari");
  if (!text) return true;
  XmlFinalScores final_scores;
  std::size_t found = 0;
  bool valid = true;
  constexpr std::int32_t kLimit = std::numeric_limits<std::int32_t>::max() / kPointsPerUnit;
  for_each_field(*text, [&](std::string_view field) {
    const std::size_t seat = found / 2;
    if (found < 2 * kSeatCount && found % 2 == 0) {
      const auto score = parse_number<std::int32_t>(field, -kLimit, kLimit);
      if (score) final_scores.scores[seat] = *score * kPointsPerUnit;
      valid = valid && score.has_value();
    } else if (found < 2 * kSeatCount) {
      const auto points = decimal(field);
      if (points) final_scores.points[seat] = *points;
      valid = valid && points.has_value();
    }
    ++found;
  });
  if (!valid || found != 2 * kSeatCount) return fail_attribute(element, "owari", "is not four scores and points");
  hand.final_scores = final_scores;
  return true;
}

// --- elements before the first hand ---------------------------------------

bool XmlRecord::read_game_type(const XmlElement& element) {
  if (std::exchange(has_game_type_, true)) return true;
  if (!read_number<std::uint16_t>(element, "type", std::numeric_limits<std::uint16_t>::max(), game_.game_type)) {
    return false;
  }
  if (const auto lobby = element.attribute("lobby")) {
    const auto value = parse_number<std::int32_t>(*lobby, 0, std::numeric_limits<std::int32_t>::max());
    if (!value) return fail_attribute(element, "lobby", "is not a number");
    game_.lobby = *value;
  }
  return true;
}

// The first <UN> names the players; a later one is a player coming back.
bool XmlRecord::read_players(const XmlElement& element) {
  if (std::exchange(has_names_, true)) return read_connection(element, true);
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    const auto text = required(element, kNameAttributes[seat]);
    if (!text) return false;
    auto name = url_decoded(*text);
    if (!name) return fail_attribute(element, kNameAttributes[seat], "is not URL-encoded UTF-8");
    game_.names[seat] = std::move(*name);
  }
  bool valid = true;
  if (const auto dan = element.attribute("dan")) {
    for_each_field(*dan, [&](std::string_view field) {
      const auto value = parse_number<std::uint8_t>(field, 0, std::numeric_limits<std::uint8_t>::max());
      if (value) game_.dan.push_back(*value);
      valid = valid && value.has_value();
    });
    if (!valid) return fail_attribute(element, "dan", "is not a list of ranks");
  }
  if (const auto rate = element.attribute("rate")) {
    for_each_field(*rate, [&](std::string_view field) {
      const auto value = decimal(field);
      if (value) game_.rate.push_back(*value);
      valid = valid && value.has_value();
    });
    if (!valid) return fail_attribute(element, "rate", "is not a list of ratings");
  }
  if (const auto sx = element.attribute("sx")) {
    for_each_field(*sx, [&](std::string_view field) { game_.sx.emplace_back(field); });
  }
  return true;
}

// <BYE who=".."/>, or a later <UN> with the names of the seats that came
// back.
bool XmlRecord::read_connection(const XmlElement& element, bool returned) {
  std::vector<XmlConnection>& connections = current_ ? current_->connections : game_.connections;
  if (!returned) {
    XmlConnection connection{.returned = false, .seat = 0, .step = steps_};
    if (!read_seat(element, "who", connection.seat)) return false;
    connections.push_back(connection);
    return true;
  }
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    if (element.attribute(kNameAttributes[seat])) {
      connections.push_back({.returned = true, .seat = static_cast<std::uint8_t>(seat), .step = steps_});
    }
  }
  return true;
}

// --- a hand -----------------------------------------------------------------

bool XmlRecord::read_hand_start(const XmlElement& element) {
  if (!in_hands_ && (!has_game_type_ || !has_names_)) hand_without_game_ = element.offset();
  in_hands_ = true;
  if (current_) hands_.push_back(std::move(*current_));
  XmlHand& hand = current_.emplace();
  steps_ = 0;
  hand.steps.reserve(kTypicalHandSteps);

  // One pass over the attributes rather than a search for each of the seven.
  enum Field : std::size_t { kSeed, kTen, kOya, kHai0, kFieldCount = kHai0 + kSeatCount };
  static constexpr std::array<std::string_view, kFieldCount> kFieldNames = {"seed", "ten",  "oya", "hai0",
                                                                            "hai1", "hai2", "hai3"};
  std::array<std::optional<std::string_view>, kFieldCount> values{};
  for (const XmlAttribute& attribute : element.attributes) {
    for (std::size_t field = 0; field < kFieldCount; ++field) {
      if (attribute.name == kFieldNames[field]) values[field] = attribute.value;
    }
  }
  for (std::size_t field = 0; field < kFieldCount; ++field) {
    if (!values[field]) return fail(element, "missing attribute " + std::string(kFieldNames[field]));
  }

  // "seed": round, honba, riichi sticks, the two dice, the dora indicator.
  std::array<unsigned, 6> numbers{};
  std::size_t found = 0;
  bool valid = true;
  for_each_field(*values[kSeed], [&](std::string_view field) {
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

  const auto scores = read_scores(*values[kTen]);
  if (!scores) return fail_attribute(element, "ten", "is not four scores in hundreds");
  hand.scores = *scores;

  const auto dealer = parse_number<std::uint8_t>(*values[kOya], 0, kSeatCount - 1);
  if (!dealer) return fail_attribute(element, "oya", "is not a number from 0 to 3");
  hand.dealer = *dealer;
  if (hand.dealer != hand.id.hand_index % kSeatCount) {
    return fail_attribute(element, "oya", "does not name the dealer of round " + std::to_string(numbers[0]));
  }
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    if (!read_tile_ids(element, kFieldNames[kHai0 + seat], *values[kHai0 + seat], kStartingHandSize,
                       hand.starting_hands[seat].data(), nullptr)) {
      return false;
    }
  }
  return true;
}

bool XmlRecord::read_tile_step(const XmlElement& element, XmlStep::Kind kind, std::size_t seat, XmlHand& hand) {
  const std::string_view digits = element.name.substr(1);
  const auto id = tile_id_in_name(digits);
  if (!id) return fail(element, "tile id " + shown_log_name(digits) + " is not from 0 to 135");
  hand.steps.push_back(XmlStep{.kind = kind, .seat = static_cast<std::uint8_t>(seat), .tile = *id});
  return true;
}

bool XmlRecord::read_meld(const XmlElement& element, XmlHand& hand) {
  std::uint8_t seat = 0;
  std::uint16_t code = 0;
  if (!read_seat(element, "who", seat)) return false;
  if (!read_number<std::uint16_t>(element, "m", std::numeric_limits<std::uint16_t>::max(), code)) return false;
  hand.steps.push_back(
      XmlStep{.kind = XmlStep::Kind::Meld, .seat = seat, .index = static_cast<std::uint32_t>(hand.call_codes.size())});
  hand.call_codes.push_back(code);
  return true;
}

bool XmlRecord::read_riichi(const XmlElement& element, XmlHand& hand) {
  std::uint8_t seat = 0;
  std::uint8_t step = 0;
  if (!read_seat(element, "who", seat) || !read_number<std::uint8_t>(element, "step", 2, step)) return false;
  if (step == 0) return fail_attribute(element, "step", "is not 1 or 2");
  hand.steps.push_back(
      XmlStep{.kind = step == 1 ? XmlStep::Kind::RiichiDeclared : XmlStep::Kind::RiichiAccepted, .seat = seat});
  return true;
}

bool XmlRecord::read_new_dora(const XmlElement& element, XmlHand& hand) {
  TileId id = 0;
  if (!read_number<TileId>(element, "hai", kMaxTileId, id)) return false;
  hand.dora_indicators.push_back(id);
  return true;
}

bool XmlRecord::read_win(const XmlElement& element, XmlHand& hand) {
  XmlWin win;
  if (!read_seat(element, "who", win.winner) || !read_seat(element, "fromWho", win.from) ||
      !read_score_changes(element, win.deltas)) {
    return false;
  }
  // Ura indicators show only for a winner in riichi; the first that shows
  // them gives the hand's list.
  if (const auto ura = element.attribute("doraHaiUra"); ura && hand.ura_indicators.empty()) {
    if (!read_tile_ids(element, "doraHaiUra", *ura, 0, nullptr, &hand.ura_indicators)) return false;
  }
  if (const auto ten = element.attribute("ten")) {
    std::array<std::int32_t, 3> fields{};
    std::size_t found = 0;
    bool valid = true;
    for_each_field(*ten, [&](std::string_view field) {
      const auto value = parse_number<std::int32_t>(field, 0, std::numeric_limits<std::int32_t>::max());
      if (value && found < fields.size()) fields[found] = *value;
      valid = valid && value.has_value();
      ++found;
    });
    if (!valid || found != 3 || fields[0] > 0xFFFF || fields[2] > 5) {
      return fail_attribute(element, "ten", "is not fu, points and a limit from 0 to 5");
    }
    win.fu = static_cast<std::uint16_t>(fields[0]);
    win.points = fields[1];
    win.limit = static_cast<std::uint8_t>(fields[2]);
  }
  if (const auto yaku = element.attribute("yaku")) {
    std::size_t found = 0;
    bool valid = true;
    for_each_field(*yaku, [&](std::string_view field) {
      const auto value = parse_number<std::uint8_t>(field, 0, std::numeric_limits<std::uint8_t>::max());
      valid = valid && value.has_value();
      if (!valid) return;
      if (found++ % 2 == 0) {
        win.yaku.push_back({.id = *value, .han = 0});
      } else {
        win.yaku.back().han = *value;
      }
    });
    if (!valid || found % 2 != 0) return fail_attribute(element, "yaku", "is not pairs of a yaku and its han");
  }
  if (const auto yakuman = element.attribute("yakuman")) {
    bool valid = true;
    for_each_field(*yakuman, [&](std::string_view field) {
      const auto value = parse_number<std::uint8_t>(field, 0, std::numeric_limits<std::uint8_t>::max());
      if (value) win.yakuman.push_back(*value);
      valid = valid && value.has_value();
    });
    if (!valid) return fail_attribute(element, "yakuman", "is not a list of yakuman");
  }
  if (element.attribute("paoWho")) {
    std::uint8_t liable = 0;
    if (!read_seat(element, "paoWho", liable)) return false;
    win.liable = liable;
  }
  if (!read_final_scores(element, hand)) return false;
  hand.steps.push_back(XmlStep{.kind = XmlStep::Kind::Win, .index = static_cast<std::uint32_t>(hand.wins.size())});
  hand.wins.push_back(std::move(win));
  return true;
}

bool XmlRecord::read_draw(const XmlElement& element, XmlHand& hand) {
  XmlDrawEnd end;
  if (const auto type = element.attribute("type")) {
    static constexpr std::pair<std::string_view, XmlDrawEnd::Kind> kKinds[] = {
        {"yao9", XmlDrawEnd::Kind::NineTerminals}, {"reach4", XmlDrawEnd::Kind::FourRiichi},
        {"ron3", XmlDrawEnd::Kind::TripleRon},     {"kan4", XmlDrawEnd::Kind::FourKans},
        {"kaze4", XmlDrawEnd::Kind::FourWinds},    {"nm", XmlDrawEnd::Kind::NagashiMangan},
    };
    bool known = false;
    for (const auto& [text, kind] : kKinds) {
      if (*type == text) {
        end.kind = kind;
        known = true;
      }
    }
    if (!known) return fail_attribute(element, "type", "names no kind of drawn hand");
  }
  if (!read_score_changes(element, end.deltas)) return false;
  for (std::size_t seat = 0; seat < kSeatCount; ++seat)
    end.hands_shown[seat] = element.attribute(kHandAttributes[seat]).has_value();
  if (!read_final_scores(element, hand)) return false;
  hand.draw_end = end;
  hand.steps.push_back(XmlStep{.kind = XmlStep::Kind::Abort});
  return true;
}

bool XmlRecord::read_step(const XmlElement& element, XmlHand& hand) {
  if (hand.steps.size() == kMaxHandSteps) {
    return fail(element, "the hand has more than " + std::to_string(kMaxHandSteps) + " steps, more than any game's");
  }
  // Nearly every element is a draw or a discard: a seat letter and a tile id.
  if (const auto tile_step = tile_step_of(element.name)) {
    return read_tile_step(element, tile_step->kind, tile_step->seat, hand);
  }
  const std::string_view tag = element.name;
  if (tag == "N") return read_meld(element, hand);
  if (tag == "REACH") return read_riichi(element, hand);
  if (tag == "DORA") return read_new_dora(element, hand);
  if (tag == "AGARI") return read_win(element, hand);
  if (tag == "RYUUKYOKU") return read_draw(element, hand);
  // A second GO, and anything newer, change no event.
  return true;
}

bool XmlRecord::take(const XmlElement& element) {
  const std::string_view tag = element.name;
  if (tag == "INIT") return read_hand_start(element);
  if (tag == "UN") return read_players(element);
  if (tag == "BYE") return read_connection(element, false);
  if (!current_) {
    if (tag == "GO") return read_game_type(element);
    if (is_play(tag)) return fail(element, "play before the first <INIT>");
    // SHUFFLE (the wall's seed), TAIKYOKU (the game starts) and anything
    // newer change no event.
    return true;
  }
  ++steps_;
  return read_step(element, *current_);
}

void XmlRecord::finish() {
  if (current_) hands_.push_back(std::move(*current_));
  current_.reset();
  finished_ = true;
}

bool XmlRecord::check_game() {
  if (hand_without_game_) {
    const XmlElement init{.name = "INIT", .attributes = {}, .known_offset = *hand_without_game_};
    if (!has_game_type_) return fail(init, "a hand starts before the game type <GO>");
    return fail(init, "a hand starts before the players' names <UN>");
  }
  if (!in_hands_) {
    const XmlElement root{.name = "mjloggm", .attributes = {}, .known_offset = root_offset_};
    if (!has_game_type_) return fail(root, "no game type <GO>");
    if (!has_names_) return fail(root, "no players' names <UN>");
  }
  return true;
}

}  // namespace kiroku::detail
