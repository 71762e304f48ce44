#include "log_mutator.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiroku::fuzz {
namespace {

// A hand entry's 17 elements: id, scores, dora and ura indicators, then per
// seat the starting hand, the take list and the discard list, then the
// result list.
constexpr std::size_t kIdPlace = 0;
constexpr std::size_t kScoresPlace = 1;
constexpr std::size_t kDoraPlace = 2;
constexpr std::size_t kUraPlace = 3;
constexpr std::size_t kResultPlace = 16;
constexpr std::size_t starting_hand_place(std::size_t seat) { return 4 + 3 * seat; }
constexpr std::size_t takes_place(std::size_t seat) { return 5 + 3 * seat; }
constexpr std::size_t discards_place(std::size_t seat) { return 6 + 3 * seat; }

// Mutants that only grow would soon be too large for libFuzzer's length
// limit, after which every mutation falls back to byte flips.
constexpr std::size_t kMostHands = 24;
constexpr std::size_t kLongestList = 40;

constexpr std::int64_t kTileCodes[] = {11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31,
                                       32, 33, 34, 35, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47, 51, 52, 53};
// Just outside the table, the log's own placeholders, and byte edges.
constexpr std::int64_t kOddCodes[] = {0, 1, 9, 10, 20, 30, 40, 48, 49, 50, 54, 59, 60, 61, 99, 100, 255, 256, -1};

constexpr std::string_view kResultWords[] = {
    "\xE5\x92\x8C\xE4\xBA\x86",                          // 和了
    "\xE6\xB5\x81\xE5\xB1\x80",                          // 流局
    "\xE5\x85\xA8\xE5\x93\xA1\xE8\x81\xB4\xE7\x89\x8C",  // 全員聴牌
    "\xE5\x85\xA8\xE5\x93\xA1\xE4\xB8\x8D\xE8\x81\xB4",  // 全員不聴
    "\xE6\xB5\x81\xE3\x81\x97\xE6\xBA\x80\xE8\xB2\xAB",  // 流し満貫
    "\xE4\xB9\x9D\xE7\xA8\xAE\xE4\xB9\x9D\xE7\x89\x8C",  // 九種九牌
    "\xE5\x9B\x9B\xE5\xAE\xB6\xE7\xAB\x8B\xE7\x9B\xB4",  // 四家立直
    "\xE5\x9B\x9B\xE9\xA2\xA8\xE9\x80\xA3\xE6\x89\x93",  // 四風連打
    "\xE5\x9B\x9B\xE6\xA7\x93\xE6\x95\xA3\xE4\xBA\x86",  // 四槓散了
    "\xE4\xB8\x89\xE5\xAE\xB6\xE5\x92\x8C\xE4\xBA\x86",  // 三家和了
    "\xE5\x92\x8C",                                      // 和 (a word cut short)
    "",
    "ron",
};

constexpr std::string_view kRuleTexts[] = {
    "\xE9\xB3\xB3\xE5\x8D\x97\xE5\x96\xB0\xE8\xB5\xA4",              // 鳳南喰赤
    "\xE8\x88\xAC\xE6\x9D\xB1\xE5\x96\xB0\xE8\xB5\xA4",              // 般東喰赤
    "\xE4\xB8\x89\xE9\xB3\xB3\xE5\x8D\x97\xE5\x96\xB0\xE8\xB5\xA4",  // 三鳳南喰赤
    "\xE5\x9B\x9B\xE8\x88\xAC\xE6\x9D\xB1",                          // 四般東
    "Jade Room South",
    "3-Player East",
    "",
};

constexpr std::string_view kNames[] = {"A", "", "\xE3\x81\x82", "\"\\", "\x01\x1f", "\xF0\x9F\x80\x84", "\xE2\x80\xA8"};

constexpr std::int64_t kDeltas[] = {0,     1000,   -1000,      8000,          -8000,
                                    32000, -32000, 2147483647, -2147483648LL, 4294967296LL};
constexpr std::int64_t kSmallCounts[] = {0, 1, 2, 3, 4, 5, 7, 8, 15, 16, 255, 256, -1, 65536};

Json tile_value(Random& random) {
  if (random.percent(88)) return Json::of(random.pick(kTileCodes));
  return Json::of(random.pick(kOddCodes));
}

std::string code_text(std::int64_t code) {
  if (code >= 10 && code <= 99) return std::to_string(code);
  return "1" + std::to_string(code % 10 < 0 ? 0 : code % 10);
}

// A tile's neighbour in its suit, or itself for honours and red fives.
std::int64_t neighbour(std::int64_t code, int step) {
  if (code >= 11 && code <= 39) {
    const std::int64_t number = code % 10 + step;
    if (number >= 1 && number <= 9) return code - code % 10 + number;
  }
  return code;
}

// Call notation as the log writes it: a letter among two-digit tile fields,
// placed by the seat called from ("c" always first, "p" and "m" at 0..3,
// "a" and "k" usually after the hand's tiles, "r" before the discard).
std::string make_notation(std::int64_t tile, char letter, Random& random) {
  std::vector<std::int64_t> fields;
  std::size_t letter_place = 0;
  switch (letter) {
    case 'c': {
      const int low = static_cast<int>(random.below(3)) - 2;  // the called tile is lowest, middle or highest
      fields = {tile, neighbour(tile, low == 0 ? 1 : low), neighbour(tile, low == -2 ? -1 : low + 2)};
      break;
    }
    case 'p':
      fields.assign(3, tile);
      letter_place = random.below(3);
      break;
    case 'm':
      fields.assign(4, tile);
      letter_place = std::vector<std::size_t>{0, 1, 3}[random.below(3)];
      break;
    case 'k':
      fields.assign(4, tile);
      letter_place = random.below(3);
      break;
    case 'a':
      fields.assign(4, tile);
      letter_place = 3;
      break;
    default: fields = {tile}; break;
  }
  if (random.percent(10)) letter_place = random.below(fields.size() + 1);
  // A red five stands in for a plain one now and then, as in real calls.
  if (random.percent(15)) {
    for (auto& field : fields) {
      if (field == 15 || field == 25 || field == 35) {
        field = 51 + (field - 15) / 10;
        break;
      }
    }
  }
  std::string text;
  for (std::size_t i = 0; i <= fields.size(); ++i) {
    if (i == letter_place) text += letter;
    if (i < fields.size()) text += code_text(fields[i]);
  }
  return text;
}

// Splits notation into its letters-and-other bytes and its digit pairs, the
// letter's place counted in fields.  Anything irregular still splits: a byte
// that is no digit counts as the letter, the last one wins.
struct Notation {
  std::vector<std::string> fields;
  std::string letter;
  std::size_t letter_place = 0;

  static Notation of(std::string_view text) {
    Notation out;
    std::string digits;
    for (const char c : text) {
      if (c >= '0' && c <= '9') {
        digits += c;
        if (digits.size() == 2) out.fields.push_back(std::exchange(digits, {}));
      } else {
        out.letter = std::string(1, c);
        out.letter_place = out.fields.size();
      }
    }
    if (!digits.empty()) out.fields.push_back(digits);
    return out;
  }

  std::string text() const {
    std::string out;
    for (std::size_t i = 0; i <= fields.size(); ++i) {
      if (i == letter_place) out += letter;
      if (i < fields.size()) out += fields[i];
    }
    return out;
  }
};

void mutate_notation(std::string& text, Random& random) {
  Notation notation = Notation::of(text);
  switch (random.below(8)) {
    case 0: notation.letter = std::string(1, random.pick({'c', 'p', 'm', 'k', 'a', 'r'})); break;
    case 1: notation.letter_place = random.below(notation.fields.size() + 1); break;
    case 2:
      if (!notation.fields.empty()) {
        notation.fields[random.below(notation.fields.size())] = code_text(tile_value(random).integer);
      }
      break;
    case 3:
      if (!notation.fields.empty())
        notation.fields.erase(notation.fields.begin() + std::ptrdiff_t(random.below(notation.fields.size())));
      break;
    case 4:
      notation.fields.insert(notation.fields.begin() + std::ptrdiff_t(random.below(notation.fields.size() + 1)),
                             notation.fields.empty() ? code_text(random.pick(kTileCodes))
                                                     : notation.fields[random.below(notation.fields.size())]);
      break;
    case 5:  // cut anywhere, even inside a field
      text = notation.text();
      text.resize(random.below(text.size() + 1));
      return;
    case 6: {  // a stray byte
      text = notation.text();
      const char stray = random.pick({'-', '+', ' ', 'x', 'C', '0', '\0', '9'});
      text.insert(text.begin() + std::ptrdiff_t(random.below(text.size() + 1)), stray);
      return;
    }
    default:  // the same tiles, a second letter
      notation.fields.insert(notation.fields.begin() + std::ptrdiff_t(random.below(notation.fields.size() + 1)),
                             std::string(1, random.pick({'c', 'p', 'm', 'k', 'a', 'r'})));
      break;
  }
  if (notation.letter_place > notation.fields.size()) notation.letter_place = notation.fields.size();
  text = notation.text();
}

// The called or discarded tile of notation, for turning it back into a plain
// entry.
std::int64_t notation_tile(const std::string& text) {
  const Notation notation = Notation::of(text);
  const std::size_t place = std::min(notation.letter_place, notation.fields.empty() ? 0 : notation.fields.size() - 1);
  if (notation.fields.empty()) return 60;
  return std::stoll(notation.fields[place]);
}

std::vector<Json>* items_of(Json& hand, std::size_t place, Json::Kind kind = Json::Kind::Array) {
  if (!hand.is_array() || place >= hand.items.size() || hand.items[place].kind != kind) return nullptr;
  return &hand.items[place].items;
}

Json* pick_hand(Json& document, Random& random) {
  Json* log = document.member("log");
  if (log == nullptr || !log->is_array() || log->items.empty()) return nullptr;
  Json& hand = log->items[random.below(log->items.size())];
  return hand.is_array() ? &hand : nullptr;
}

// One seat's take or discard list; `discards` tells which.
std::vector<Json>* pick_action_list(Json& hand, Random& random, bool& discards) {
  const std::size_t seat = random.below(4);
  discards = random.percent(50);
  return items_of(hand, discards ? discards_place(seat) : takes_place(seat));
}

void mutate_entry(std::vector<Json>& list, bool discards, Json& hand, Random& random) {
  if (list.empty()) {
    list.push_back(tile_value(random));
    return;
  }
  Json& entry = list[random.below(list.size())];
  if (entry.is_string()) {
    if (random.percent(85)) {
      mutate_notation(entry.text, random);
    } else {
      entry = Json::of(notation_tile(entry.text));
    }
    return;
  }
  const std::int64_t code = entry.is_integer() ? entry.integer : 11;
  switch (random.below(6)) {
    case 0: entry = tile_value(random); break;
    case 1: entry = Json::of(neighbour(code, random.percent(50) ? 1 : -1)); break;
    case 2: entry = Json::of(std::int64_t{discards ? 60 : 0}); break;
    case 3: {  // a tile the seat holds, as a call or discard would need
      std::size_t seat = random.below(4);
      if (const auto* start = items_of(hand, starting_hand_place(seat)); start != nullptr && !start->empty()) {
        entry = (*start)[random.below(start->size())];
      } else {
        entry = tile_value(random);
      }
      break;
    }
    default: {
      const char letters_taken[] = {'c', 'p', 'm'};
      const char letters_discarded[] = {'r', 'k', 'a'};
      const char letter = random.percent(10) ? random.pick({'c', 'p', 'm', 'k', 'a', 'r'})
                          : discards         ? random.pick(letters_discarded)
                                             : random.pick(letters_taken);
      const std::int64_t tile = code >= 11 && code <= 53 ? code : random.pick(kTileCodes);
      entry = Json::of(make_notation(tile, letter, random));
      break;
    }
  }
}

// Reorders, drops, repeats or inserts entries: what moves a call to another
// turn, which is where the converter's retries and search come in.
void rearrange_list(std::vector<Json>& list, Random& random) {
  if (list.empty()) return;
  const std::size_t at = random.below(list.size());
  switch (random.below(7)) {
    case 0:
      if (at + 1 < list.size()) std::swap(list[at], list[at + 1]);
      break;
    case 1: std::swap(list[at], list[random.below(list.size())]); break;
    case 2: list.erase(list.begin() + std::ptrdiff_t(at)); break;
    case 3:
      if (list.size() < kLongestList) list.insert(list.begin() + std::ptrdiff_t(at), list[at]);
      break;
    case 4: {  // move one entry a few places
      Json moved = std::move(list[at]);
      list.erase(list.begin() + std::ptrdiff_t(at));
      const std::size_t span = 1 + random.below(4);
      std::size_t to = random.percent(50) ? at + span : (at >= span ? at - span : 0);
      to = std::min(to, list.size());
      list.insert(list.begin() + std::ptrdiff_t(to), std::move(moved));
      break;
    }
    case 5: list.resize(at); break;
    default:
      if (list.size() < kLongestList) list.insert(list.begin() + std::ptrdiff_t(at), tile_value(random));
      break;
  }
}

// Entries or whole lists traded between two seats of a hand.
void trade_between_seats(Json& hand, Random& random) {
  const std::size_t a = random.below(4);
  const std::size_t b = random.below(4);
  const bool discards = random.percent(50);
  auto* first = items_of(hand, discards ? discards_place(a) : takes_place(a));
  auto* second = items_of(hand, discards ? discards_place(b) : takes_place(b));
  if (first == nullptr || second == nullptr || first->empty() || second->empty()) return;
  if (random.percent(70)) {
    const std::size_t at = random.below(std::min(first->size(), second->size()));
    std::swap((*first)[at], (*second)[at]);
  } else {
    std::swap(*first, *second);
  }
}

void mutate_tile_list(std::vector<Json>& tiles, Random& random, std::size_t most) {
  switch (random.below(5)) {
    case 0:
      if (!tiles.empty()) tiles[random.below(tiles.size())] = tile_value(random);
      break;
    case 1: tiles.resize(random.below(tiles.size() + 1)); break;
    case 2:
      if (!tiles.empty() && tiles.size() < most) tiles.push_back(tiles[random.below(tiles.size())]);
      break;
    case 3:
      if (tiles.size() < most)
        tiles.insert(tiles.begin() + std::ptrdiff_t(random.below(tiles.size() + 1)), tile_value(random));
      break;
    default:
      if (!tiles.empty()) tiles.erase(tiles.begin() + std::ptrdiff_t(random.below(tiles.size())));
      break;
  }
}

Json four_deltas(Random& random) {
  Json deltas = Json::array();
  for (int i = 0; i < 4; ++i) deltas.items.push_back(Json::of(random.percent(60) ? 0 : random.pick(kDeltas)));
  return deltas;
}

// A win's detail list: winner, the seat paid by, the seat liable (pao), then
// the texts of the points and the yaku.
Json win_detail(Random& random) {
  Json detail = Json::array();
  for (int i = 0; i < 3; ++i) detail.items.push_back(Json::of(static_cast<std::int64_t>(random.below(4))));
  detail.items.push_back(
      Json::of(std::string("30\xE7\xAC\xA6"
                           "2\xE9\xA3\x9C"
                           "2000\xE7\x82\xB9")));  // 30符2飜2000点
  return detail;
}

void mutate_result(Json& hand, Random& random) {
  auto* result = items_of(hand, kResultPlace);
  if (result == nullptr) {
    if (hand.is_array() && hand.items.size() > kResultPlace) hand.items[kResultPlace] = Json::array();
    return;
  }
  if (result->empty()) {
    result->push_back(Json::of(std::string(random.pick(kResultWords))));
    return;
  }
  Json& item = (*result)[random.below(result->size())];
  switch (random.below(7)) {
    case 0:  // another word where a word is
      for (Json& word : *result) {
        if (word.is_string()) {
          word.text = random.pick(kResultWords);
          break;
        }
      }
      break;
    case 1:  // one number of a list changed
      if (item.is_array() && !item.items.empty()) {
        Json& number = item.items[random.below(item.items.size())];
        number = Json::of(random.percent(50) ? random.pick(kDeltas) : random.pick(kSmallCounts));
      }
      break;
    case 2:  // a list one longer or shorter
      if (item.is_array()) {
        if (random.percent(50) && !item.items.empty()) {
          item.items.pop_back();
        } else {
          item.items.push_back(Json::of(random.pick(kSmallCounts)));
        }
      }
      break;
    case 3:
      if (result->size() < 12) {
        result->push_back(four_deltas(random));
        result->push_back(win_detail(random));
      }
      break;
    case 4: result->erase(result->begin() + std::ptrdiff_t(random.below(result->size()))); break;
    case 5:
      if (result->size() < 12) result->push_back((*result)[random.below(result->size())]);
      break;
    default: std::swap(item, (*result)[random.below(result->size())]); break;
  }
}

void mutate_counts(Json& hand, Random& random) {
  const std::size_t place = random.percent(60) ? kIdPlace : kScoresPlace;
  auto* numbers = items_of(hand, place);
  if (numbers == nullptr) return;
  if (random.percent(85) && !numbers->empty()) {
    Json& number = (*numbers)[random.below(numbers->size())];
    number = Json::of(place == kIdPlace ? random.pick(kSmallCounts) : random.pick(kDeltas));
  } else if (random.percent(50) && !numbers->empty()) {
    numbers->pop_back();
  } else {
    numbers->push_back(Json::of(random.pick(kSmallCounts)));
  }
}

void mutate_hands(Json& log, Random& random) {
  std::vector<Json>& hands = log.items;
  if (hands.empty()) return;
  const std::size_t at = random.below(hands.size());
  switch (random.below(4)) {
    case 0:
      if (hands.size() > 1) hands.erase(hands.begin() + std::ptrdiff_t(at));
      break;
    case 1:
      if (hands.size() < kMostHands)
        hands.insert(hands.begin() + std::ptrdiff_t(random.below(hands.size() + 1)), hands[at]);
      break;
    case 2: std::swap(hands[at], hands[random.below(hands.size())]); break;
    default: hands.resize(at + 1); break;
  }
}

void mutate_top_level(Json& document, Random& random) {
  switch (random.below(5)) {
    case 0:
      if (Json* names = document.member("name"); names != nullptr && names->is_array() && !names->items.empty()) {
        if (random.percent(80)) {
          names->items[random.below(names->items.size())] = Json::of(std::string(random.pick(kNames)));
        } else {
          names->items.pop_back();
        }
      }
      break;
    case 1:
      if (Json* rule = document.member("rule"); rule != nullptr && rule->is_object()) {
        if (Json* disp = rule->member("disp"); disp != nullptr && random.percent(50)) {
          *disp = Json::of(std::string(random.pick(kRuleTexts)));
        } else if (Json* aka = rule->member(random.pick({"aka", "aka51", "aka52", "aka53"})); aka != nullptr) {
          *aka = Json::of(random.pick(kSmallCounts));
        }
      }
      break;
    case 2:  // drop a member, never "log" itself
      if (document.items.size() > 1) {
        const std::size_t at = random.below(document.items.size());
        if (at < document.keys.size() && document.keys[at] != "log") {
          document.keys.erase(document.keys.begin() + std::ptrdiff_t(at));
          document.items.erase(document.items.begin() + std::ptrdiff_t(at));
        }
      }
      break;
    case 3:
      document.keys.emplace_back(random.pick({"ratingc", "lobby", "dan", "rate", "sx", "ver", "title", "extra"}));
      document.items.push_back(random.percent(50) ? Json::of(random.pick(kSmallCounts)) : Json::of(std::string("PF4")));
      break;
    default:
      std::swap(document.keys[random.below(document.keys.size())], document.keys[random.below(document.keys.size())]);
      break;
  }
}

// Anything anywhere: a value of another type, for the reader's refusals.
void replace_any_value(Json& document, Random& random) {
  Json* node = &document;
  while ((node->is_array() || node->is_object()) && !node->items.empty() && random.percent(75)) {
    node = &node->items[random.below(node->items.size())];
  }
  switch (random.below(6)) {
    case 0: *node = Json{}; break;
    case 1: *node = Json::of(std::string("1")); break;
    case 2: *node = Json::array(); break;
    case 3: *node = Json::object(); break;
    case 4: *node = Json::number(random.pick({"1.5", "-0", "1e300", "18446744073709551615"})); break;
    default: *node = Json::of(random.pick(kSmallCounts)); break;
  }
}

void mutate_once(Json& document, Random& random) {
  Json* hand = pick_hand(document, random);
  const std::size_t choice = random.below(100);
  if (hand == nullptr || choice >= 97) {
    replace_any_value(document, random);
  } else if (choice < 30) {
    bool discards = false;
    if (auto* list = pick_action_list(*hand, random, discards)) mutate_entry(*list, discards, *hand, random);
  } else if (choice < 55) {
    bool discards = false;
    if (auto* list = pick_action_list(*hand, random, discards)) rearrange_list(*list, random);
  } else if (choice < 62) {
    trade_between_seats(*hand, random);
  } else if (choice < 72) {
    mutate_result(*hand, random);
  } else if (choice < 77) {
    mutate_counts(*hand, random);
  } else if (choice < 83) {
    if (auto* start = items_of(*hand, starting_hand_place(random.below(4)))) mutate_tile_list(*start, random, 14);
  } else if (choice < 89) {
    if (auto* indicators = items_of(*hand, random.percent(70) ? kDoraPlace : kUraPlace)) {
      mutate_tile_list(*indicators, random, 6);
    }
  } else if (choice < 94) {
    mutate_hands(*document.member("log"), random);
  } else {
    mutate_top_level(document, random);
  }
}

bool is_log(Json& document) {
  const Json* log = document.member("log");
  return log != nullptr && log->is_array();
}

}  // namespace

bool mutate_log(Json& document, Random& random) {
  if (!is_log(document)) return false;
  const std::size_t count = 1 + random.below(random.percent(70) ? 1 : 4);
  for (std::size_t i = 0; i < count; ++i) mutate_once(document, random);
  return true;
}

bool cross_over_logs(Json& document, const Json& donor, Random& random) {
  if (!is_log(document) || !donor.is_object()) return false;
  const Json* donor_log = nullptr;
  for (std::size_t i = 0; i < donor.keys.size() && i < donor.items.size(); ++i) {
    if (donor.keys[i] == "log") donor_log = &donor.items[i];
  }
  if (donor_log == nullptr || !donor_log->is_array() || donor_log->items.empty()) return false;
  std::vector<Json>& hands = document.member("log")->items;
  if (hands.empty()) return false;

  const Json& given = donor_log->items[random.below(donor_log->items.size())];
  Json& taker = hands[random.below(hands.size())];
  switch (random.below(4)) {
    case 0: taker = given; break;
    case 1: {  // one seat's starting hand, takes and discards
      const std::size_t seat = random.below(4);
      for (std::size_t place = starting_hand_place(seat); place <= discards_place(seat); ++place) {
        if (taker.is_array() && given.is_array() && place < taker.items.size() && place < given.items.size()) {
          taker.items[place] = given.items[place];
        }
      }
      break;
    }
    case 2:
      if (taker.is_array() && given.is_array() && kResultPlace < taker.items.size() &&
          kResultPlace < given.items.size()) {
        taker.items[kResultPlace] = given.items[kResultPlace];
      }
      break;
    default: {
      hands.resize(random.below(hands.size()) + 1);
      const std::size_t from = random.below(donor_log->items.size());
      for (std::size_t i = from; i < donor_log->items.size() && hands.size() < kMostHands; ++i) {
        hands.push_back(donor_log->items[i]);
      }
      break;
    }
  }
  return true;
}

}  // namespace kiroku::fuzz
