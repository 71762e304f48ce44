#include "kiroku/read/json_reader.h"

#include <algorithm>  // all_of
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>   // memcpy
#include <iterator>  // make_move_iterator
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kiroku/io/utf8.h"
#include "kiroku/read/json_keys.h"

#include "kiroku/read/json_reader_detail.h"
#include "kiroku/tile.h"
#include "kiroku/tile_code.h"

namespace kiroku {

namespace detail {

static_assert(PaddedText::kPadding >= simdjson::SIMDJSON_PADDING,
              "the reader's input must carry the slack simdjson scans into");

namespace {

// A take or discard entry that is an integer of 0..255: the tile when it is
// a tile code, and the number itself otherwise (60, the discard of the
// drawn tile, among them).
ActionItem action_item_of_code(std::uint8_t code) {
  if (const auto tile = tile_from_code(code)) return *tile;
  return code;
}

// Whether a number of a result entry can be one of its four score changes.
bool is_score_change(const Number& number) {
  return (number.kind == Number::Kind::kUnsigned &&
          number.unsigned_value <= std::uint64_t{std::numeric_limits<std::int32_t>::max()}) ||
         (number.kind == Number::Kind::kSigned && number.signed_value >= std::numeric_limits<std::int32_t>::min());
}

std::int32_t score_change_of(const Number& number) {
  return number.kind == Number::Kind::kUnsigned ? static_cast<std::int32_t>(number.unsigned_value)
                                                : static_cast<std::int32_t>(number.signed_value);
}

// Flat entries as the fields take them.  Each takes what the entry-by-entry
// reading of the same field takes and declines the rest, which that
// reading then reads again and explains.

bool u8_of(const FlatEntry& entry, std::uint8_t& out) {
  if (entry.is_string || entry.integer < 0 || entry.integer > std::numeric_limits<std::uint8_t>::max()) return false;
  out = static_cast<std::uint8_t>(entry.integer);
  return true;
}

bool i32_of(const FlatEntry& entry, std::int32_t& out) {
  if (entry.is_string || entry.integer < std::numeric_limits<std::int32_t>::min() ||
      entry.integer > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  out = static_cast<std::int32_t>(entry.integer);
  return true;
}

bool tile_of(const FlatEntry& entry, Tile& out) {
  std::uint8_t code = 0;
  if (!u8_of(entry, code)) return false;
  const auto tile = tile_from_code(code);
  if (!tile) return false;
  out = *tile;
  return true;
}

// Appends the entry to `out` as the take or discard it is.
bool append_action_item(const FlatEntry& entry, std::vector<ActionItem>& out) {
  if (entry.is_string) {
    out.emplace_back(std::in_place_type<NotationText>, entry.text);
    return true;
  }
  std::uint8_t code = 0;
  if (!u8_of(entry, code)) return false;
  out.push_back(action_item_of_code(code));
  return true;
}

Number number_of(const FlatEntry& entry) {
  return entry.integer >= 0 ? Number::of_unsigned(static_cast<std::uint64_t>(entry.integer))
                            : Number::of_signed(entry.integer);
}

// Fills `out` from flat entries when there are exactly N and each converts.
template <typename T, std::size_t N, typename Convert>
bool take_flat(const std::vector<FlatEntry>& entries, std::array<T, N>& out, Convert convert) {
  if (entries.size() != N) return false;
  for (std::size_t i = 0; i < N; ++i) {
    if (!convert(entries[i], out[i])) return false;
  }
  return true;
}

// The same for a list of any length, sized once.
template <typename T, typename Convert>
bool take_flat(const std::vector<FlatEntry>& entries, std::vector<T>& out, Convert convert) {
  out.resize(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!convert(entries[i], out[i])) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Strings, tiles and null

bool RecordReader::read_string(od::value& value, std::string& out) {
  std::string_view text;
  const error_code e = value.get_string().get(text);
  if (e == simdjson::SUCCESS) {
    out.assign(text);
    return true;
  }
  if (e == simdjson::INCORRECT_TYPE) return fail_type(value, "a string");
  return fail_json(e);
}

bool RecordReader::read_tile(od::value& value, Tile& out) {
  std::uint8_t code = 0;
  if (!read_u8(value, code)) return false;
  if (const auto tile = tile_from_code(code)) {
    out = *tile;
    return true;
  }
  return fail(invalid_tile_code_message(code));
}

bool RecordReader::is_null(od::value& value, bool& null) {
  // is_null() reports a token that starts like null but is not as an error.
  if (value.is_null().get(null) != simdjson::SUCCESS) return fail_syntax("invalid literal");
  return true;
}

// ---------------------------------------------------------------------------
// Lists and fixed-length arrays

template <typename T, typename ReadElement>
bool RecordReader::read_list(od::value& value, std::vector<T>& out, ReadElement read_element) {
  od::array_iterator it;
  if (!open_array(value, "a sequence", it)) return false;
  Elements elements(it);
  for (;;) {
    od::value element;
    bool has = false;
    if (const error_code e = elements.next(element, has)) return fail_json(e);
    if (!has) return true;
    if (!read_element(element, out.emplace_back())) return false;
  }
}

template <typename ReadElement>
bool RecordReader::read_exactly(od::value& value, std::size_t count, std::string_view name,
                                std::string_view length_text, ReadElement read_element) {
  od::array_iterator it;
  if (!open_array(value, name, it)) return false;
  Elements elements(it);
  od::value element;
  bool has = false;
  for (std::size_t i = 0; i < count; ++i) {
    if (const error_code e = elements.next(element, has)) return fail_json(e);
    if (!has) return fail(invalid_length_message(i, length_text));
    if (!read_element(element, i)) return false;
  }
  if (const error_code e = elements.next(element, has)) return fail_json(e);
  if (has) return fail_extra_element(length_text);
  return true;
}

// ---------------------------------------------------------------------------
// List entries

bool RecordReader::read_action_item(od::value& value, int level, ActionItem& out) {
  std::uint64_t code = 0;
  if (value.get_uint64().get(code) == simdjson::SUCCESS) {
    if (code > std::numeric_limits<std::uint8_t>::max()) return fail(kNoActionItem);
    out = action_item_of_code(static_cast<std::uint8_t>(code));
    return true;
  }
  od::json_type type{};
  if (!type_of(value, type)) return false;
  switch (type) {
    case od::json_type::string: {
      std::string_view text;
      if (const error_code e = value.get_string().get(text)) return fail_json(e);
      out.emplace<NotationText>(text);
      return true;
    }
    case od::json_type::number: {
      // Negative, fractional or too large: no alternative takes it, once it
      // has read as a number at all.
      Number number;
      if (!read_number(value, number)) return false;
      return fail(kNoActionItem);
    }
    default:
      // The entry is still read whole before it is refused, so a syntax
      // error or too deep nesting inside it is what gets reported.
      if (!read_generic(value, level, nullptr)) return false;
      return fail(kNoActionItem);
  }
}

bool RecordReader::read_result_item(od::value& value, int level, ResultItem& out) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type == od::json_type::string) {
    std::string_view text;
    if (const error_code e = value.get_string().get(text)) return fail_json(e);
    out.emplace<std::string>(text);
    return true;
  }
  if (type == od::json_type::array) return read_result_array(value, level, out);
  if (!read_generic(value, level, nullptr)) return false;
  return fail(kNoResultItem);
}

// An array entry is four score changes when it holds exactly four integers
// within the 32-bit range, and a list of generic values otherwise.  The
// elements are read once: integers are held back until the entry can no
// longer be four score changes, then it continues as generic values.
bool RecordReader::read_result_array(od::value& value, int level, ResultItem& out) {
  if (level >= kMaxNesting) return fail_nesting();
  if (scan_flat(value)) {
    if (flat_.size() == kSeatCount && std::all_of(flat_.begin(), flat_.end(), [](const FlatEntry& entry) {
          return !entry.is_string && is_score_change(number_of(entry));
        })) {
      Scores& deltas = out.emplace<Scores>();
      for (std::size_t i = 0; i < kSeatCount; ++i) deltas[i] = score_change_of(number_of(flat_[i]));
      return true;
    }
    auto& values = out.emplace<std::vector<JsonValue>>();
    values.reserve(flat_.size());
    for (const FlatEntry& entry : flat_) {
      values.push_back(entry.is_string ? JsonValue{std::string(entry.text)} : number_of(entry).to_json());
    }
    return true;
  }

  od::array_iterator it;
  if (!open_array(value, "a sequence", it)) return false;
  Elements elements(it);

  std::array<Number, kSeatCount> held{};
  std::size_t held_count = 0;
  std::vector<JsonValue>* values = nullptr;
  for (;;) {
    od::value element;
    bool has = false;
    if (const error_code e = elements.next(element, has)) return fail_json(e);
    if (!has) break;
    if (values == nullptr) {
      od::json_type type{};
      if (!type_of(element, type)) return false;
      Number number;
      if (type == od::json_type::number) {
        if (!read_number(element, number)) return false;
        if (is_score_change(number) && held_count < held.size()) {
          held[held_count++] = number;
          continue;
        }
      }
      values = &out.emplace<std::vector<JsonValue>>();
      values->reserve(held_count + 4);
      for (std::size_t i = 0; i < held_count; ++i) values->push_back(held[i].to_json());
      if (type == od::json_type::number) {
        values->push_back(number.to_json());
        continue;
      }
    }
    if (!read_generic(element, level + 1, &values->emplace_back())) return false;
  }
  if (values != nullptr) return true;
  if (held_count == held.size()) {
    Scores& deltas = out.emplace<Scores>();
    for (std::size_t i = 0; i < held.size(); ++i) deltas[i] = score_change_of(held[i]);
    return true;
  }
  auto& short_list = out.emplace<std::vector<JsonValue>>();
  short_list.reserve(held_count);
  for (std::size_t i = 0; i < held_count; ++i) short_list.push_back(held[i].to_json());
  return true;
}

// ---------------------------------------------------------------------------
// Records

// Visits the members of a record given as an object: listed keys are read
// by `read_field` (with their index in `keys`) and marked in `seen`, a
// listed key met twice fails before its value is looked at, and other
// members are skipped.
template <std::size_t N, typename ReadField>
bool RecordReader::read_record_object(od::value& value, const std::array<std::string_view, N>& keys,
                                      std::array<bool, N>& seen, ReadField read_field) {
  od::object object;
  if (const error_code e = value.get_object().get(object)) return fail_json(e);
  od::object_iterator it;
  if (const error_code e = object.begin().get(it)) return fail_json(e);
  Members members(it);
  for (;;) {
    od::field member;
    bool has = false;
    if (const error_code e = members.next(member, has)) return fail_json(e);
    if (!has) return true;
    std::string_view key;  // points into the parser's string buffer
    if (const error_code e = member.unescaped_key().get(key)) return fail_json(e);
    const int index = key_index(keys, key);
    if (index < 0) {
      if (!skip_value(member.value())) return false;
      continue;
    }
    if (seen[static_cast<std::size_t>(index)]) return fail("duplicate field `" + std::string(key) + "`");
    seen[static_cast<std::size_t>(index)] = true;
    if (!read_field(static_cast<std::size_t>(index), member.value())) return false;
  }
}

template <typename T, typename ReadValue>
bool RecordReader::read_optional(od::value& value, std::optional<T>& out, ReadValue read_value) {
  bool null = false;
  if (!is_null(value, null)) return false;
  if (null) {
    out.reset();
    return true;
  }
  return read_value(value, out.emplace());
}

bool RecordReader::read_hand_id(od::value& value, HandId& out) {
  if (std::array<std::uint8_t, 3> id{}; scan_flat(value) && take_flat(flat_, id, u8_of)) {
    out = HandId{id[0], id[1], id[2]};
    return true;
  }
  return read_exactly(value, 3, "tuple struct Inner", "tuple struct Inner with 3 elements",
                      [&](od::value& element, std::size_t i) {
                        std::uint8_t* fields[] = {&out.hand_index, &out.honba, &out.deposits};
                        return read_u8(element, *fields[i]);
                      });
}

bool RecordReader::read_hand(od::value& value, int level, JsonHand& out) {
  const int entry_level = level + 2;  // inside the hand's lists
  // Lists go into vectors of their exact size: one allocation per list, and
  // no slack kept.  A flat list is counted before anything is stored; one
  // read entry by entry goes into reused scratch space first.
  const auto read_tile_list = [&](od::value& list, std::vector<Tile>& tiles) {
    if (scan_flat(list) && take_flat(flat_, tiles, tile_of)) return true;
    tile_scratch_.clear();
    if (!read_list(list, tile_scratch_, [&](od::value& element, Tile& tile) { return read_tile(element, tile); })) {
      return false;
    }
    tiles.assign(tile_scratch_.begin(), tile_scratch_.end());
    return true;
  };
  const auto read_action_list = [&](od::value& list, std::vector<ActionItem>& items) {
    if (scan_flat(list)) {
      items.clear();
      items.reserve(flat_.size());
      if (std::all_of(flat_.begin(), flat_.end(),
                      [&](const FlatEntry& entry) { return append_action_item(entry, items); })) {
        return true;
      }
    }
    action_scratch_.clear();
    if (!read_list(list, action_scratch_, [&](od::value& element, ActionItem& item) {
          return read_action_item(element, entry_level, item);
        })) {
      return false;
    }
    items.assign(std::make_move_iterator(action_scratch_.begin()), std::make_move_iterator(action_scratch_.end()));
    return true;
  };
  return read_exactly(
      value, 17, "tuple struct Inner", "tuple struct Inner with 17 elements", [&](od::value& element, std::size_t i) {
        switch (i) {
          case 0: return read_hand_id(element, out.id);
          case 1:
            if (scan_flat(element) && take_flat(flat_, out.scores, i32_of)) return true;
            return read_exactly(element, kSeatCount, "an array of length 4", "an array of length 4",
                                [&](od::value& score, std::size_t k) { return read_i32(score, out.scores[k]); });
          case 2: return read_tile_list(element, out.dora_indicators);
          case 3: return read_tile_list(element, out.ura_indicators);
          case 16:
            out.result.reserve(4);
            return read_list(element, out.result, [&](od::value& entry, ResultItem& item) {
              return read_result_item(entry, entry_level, item);
            });
          default: break;
        }
        JsonSeat& seat = out.seats[(i - 4) / 3];
        switch ((i - 4) % 3) {
          case 0:
            if (scan_flat(element) && take_flat(flat_, seat.hand, tile_of)) return true;
            return read_exactly(element, kStartingHandSize, "an array of size 13", "an array of size 13",
                                [&](od::value& tile, std::size_t k) { return read_tile(tile, seat.hand[k]); });
          case 1: return read_action_list(element, seat.takes);
          default: return read_action_list(element, seat.discards);
        }
      });
}

bool RecordReader::read_rule_field(std::size_t index, od::value& value, Rule& out) {
  switch (index) {
    case 0: return read_string(value, out.disp);
    case 1: return read_u8(value, out.aka);
    case 2: return read_u8(value, out.aka51);
    case 3: return read_u8(value, out.aka52);
    default: return read_u8(value, out.aka53);
  }
}

bool RecordReader::read_rule(od::value& value, Rule& out) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type == od::json_type::array) {
    // Trailing fields may be left out; they keep their defaults.
    od::array_iterator it;
    if (!open_array(value, "struct Rule", it)) return false;
    Elements elements(it);
    od::value element;
    bool has = false;
    for (std::size_t i = 0;; ++i) {
      if (const error_code e = elements.next(element, has)) return fail_json(e);
      if (!has) return true;
      if (i == kRuleKeys.size()) return fail_extra_element("struct Rule with 5 elements");
      if (!read_rule_field(i, element, out)) return false;
    }
  }
  if (type != od::json_type::object) return fail_type(value, "struct Rule");

  // Every field is defaulted, so none can be missing.
  std::array<bool, kRuleKeys.size()> seen{};
  return read_record_object(value, kRuleKeys, seen,
                            [&](std::size_t index, od::value& field) { return read_rule_field(index, field, out); });
}

bool RecordReader::read_game_field(std::size_t index, od::value& value, JsonGame& out) {
  const auto read_text = [&](od::value& element, std::string& text) { return read_string(element, text); };
  const auto read_texts = [&](od::value& list, std::vector<std::string>& texts) {
    return read_list(list, texts, read_text);
  };
  switch (index) {
    case 1:
      return read_exactly(value, kSeatCount, "an array of length 4", "an array of length 4",
                          [&](od::value& element, std::size_t i) { return read_string(element, out.name[i]); });
    case 2: return read_rule(value, out.rule);
    case 3: return read_optional(value, out.ratingc, read_text);
    case 4:
      return read_optional(value, out.lobby, [&](od::value& number, std::int32_t& v) { return read_i32(number, v); });
    case 5: return read_optional(value, out.dan, read_texts);
    case 6:
      return read_optional(value, out.rate, [&](od::value& list, std::vector<double>& numbers) {
        return read_list(list, numbers, [&](od::value& element, double& v) { return read_f64(element, v); });
      });
    default: return read_optional(value, out.sx, read_texts);
  }
}

bool RecordReader::read_connection(od::value& value, JsonConnection& out) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type != od::json_type::object) return fail_type(value, "struct Connection");
  std::array<bool, kConnectionKeys.size()> seen{};
  return read_record_object(value, kConnectionKeys, seen, [&](std::size_t index, od::value& field) {
    switch (index) {
      case 0: return read_u8(field, out.what);
      case 1: return read_u32(field, out.log);
      case 2: return read_u8(field, out.who);
      default: return read_u32(field, out.step);
    }
  });
}

bool RecordReader::read_written_back_field(std::size_t index, od::value& value, JsonGame& out) {
  if (index == 0) {
    return read_optional(value, out.sc, [&](od::value& list, std::vector<double>& numbers) {
      return read_list(list, numbers, [&](od::value& element, double& v) { return read_f64(element, v); });
    });
  }
  if (index == 2) {
    return read_optional(value, out.ref, [&](od::value& text, std::string& ref) { return read_string(text, ref); });
  }
  return read_list(value, out.connection, [&](od::value& element, JsonConnection& connection) {
    return read_connection(element, connection);
  });
}

// ---------------------------------------------------------------------------
// The document, a member and a hand entry at a time

// Reads the value at [begin, end) of the text, found by the outline, as a
// document of its own: `read` gets the value.
template <typename Read>
bool RecordReader::read_piece(std::size_t begin, std::size_t end, Read read) {
  const std::size_t size = end - begin;
  if (size > kMaxPieceBytes) return fail_too_long("value", size);
  // Always read as the one element of an array around it: the parser reads
  // a document's root value by rules of its own (a scalar getter on a root
  // container breaks its assumptions), and the records are read as values
  // inside a document.  The buffer serves every piece.
  piece_.resize(size + 2 + simdjson::SIMDJSON_PADDING);
  piece_[0] = '[';
  std::memcpy(piece_.data() + 1, text_.data() + begin, size);
  piece_[size + 1] = ']';
  od::document doc;
  if (const error_code e = parser_.iterate(piece_.data(), size + 2, piece_.size()).get(doc)) return fail_json(e);
  od::array array;
  if (const error_code e = doc.get_array().get(array)) return fail_json(e);
  od::array_iterator it;
  if (const error_code e = array.begin().get(it)) return fail_json(e);
  Elements elements(it);
  od::value element;
  bool has = false;
  if (const error_code e = elements.next(element, has)) return fail_json(e);
  if (!has) return fail_syntax("expected value");
  return read(element);
}

bool RecordReader::fail_too_long(std::string_view what, std::size_t size) {
  return fail("a " + std::string(what) + " of " + std::to_string(size) + " bytes, more than any game's (at most " +
              std::to_string(kMaxPieceBytes >> 20) + " MiB)");
}

// A member no record lists, at `depth` containers below the member.
bool RecordReader::skip_piece(std::size_t begin, std::size_t end, int depth) {
  if (end - begin <= kMaxPieceBytes) {
    return read_piece(begin, end, [&](od::value& value) { return skip_value(value); });
  }
  if (text_[begin] == '[' || text_[begin] == '{') return skip_long_container(begin, end, depth);
  return check_long_scalar(begin, end);
}

// A container too long for one piece, checked an element at a time.  The
// parser would refuse a document nested deeper than its depth limit; so
// is a container nested that deep in parts.
bool RecordReader::skip_long_container(std::size_t begin, std::size_t end, int depth) {
  if (depth >= static_cast<int>(simdjson::DEFAULT_MAX_DEPTH)) return fail_json(simdjson::DEPTH_ERROR);
  const bool is_object = text_[begin] == '{';
  const char closing = is_object ? '}' : ']';
  std::size_t at = skip_json_space(text_, begin + 1);
  bool closed = text_[at] == closing;
  if (closed) ++at;
  std::string key;
  while (!closed) {
    if (is_object && !read_key(at, key)) return false;
    std::size_t value_end = 0;
    if (!find_value(at, value_end)) return false;
    if (!skip_piece(at, value_end, depth + 1)) return false;
    at = value_end;
    if (!after_value(at, closing, closed)) return false;
  }
  // The outline counted brackets without matching them; the walk matched.
  if (at != end) return fail_syntax(is_object ? "expected `,` or `}`" : "expected `,` or `]`");
  return true;
}

// The end of the value at `at` (after whitespace), or a failure.
bool RecordReader::find_value(std::size_t& at, std::size_t& end, ElementEnds* elements) {
  at = skip_json_space(text_, at);
  if (at >= text_.size()) return fail_syntax("EOF while parsing a value");
  end = json_value_end(text_, at, elements);
  if (end == kUnclosedString) return fail_json(simdjson::UNCLOSED_STRING);
  if (end == kNoEnd) return fail_syntax(text_[at] == '{' ? "EOF while parsing an object" : "EOF while parsing a list");
  if (end == at) return fail_syntax("expected value");
  return true;
}

// Whether the container being read closes at `at`, after whitespace.
bool RecordReader::is_closed_at(std::size_t at, char closing) const {
  at = skip_json_space(text_, at);
  return at < text_.size() && text_[at] == closing;
}

// What comes after a value in a container: `,` (then `at` is past it) or
// the container's closing byte (`closed`).
bool RecordReader::after_value(std::size_t& at, char closing, bool& closed) {
  at = skip_json_space(text_, at);
  if (at < text_.size() && text_[at] == ',') {
    ++at;
    closed = false;
    return true;
  }
  if (at < text_.size() && text_[at] == closing) {
    ++at;
    closed = true;
    return true;
  }
  return fail_syntax(at >= text_.size() ? "EOF while parsing a list" : "expected `,` or the end of the list");
}

// A member's key: its text unescaped (through the parser where it holds an
// escape), as the record's keys are compared.
bool RecordReader::read_key(std::size_t& at, std::string& key) {
  at = skip_json_space(text_, at);
  if (at >= text_.size()) return fail_syntax("EOF while parsing an object");
  if (text_[at] != '"') return fail_syntax("key must be a string");
  const std::size_t end = json_string_end(text_, at);
  if (end == kNoEnd) return fail_json(simdjson::UNCLOSED_STRING);
  const std::string_view raw = text_.substr(at + 1, end - at - 2);
  const bool plain = raw.find('\\') == std::string_view::npos &&
                     std::ranges::none_of(raw, [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (end - at > kMaxPieceBytes) {
    // No listed key is this long: only checked.
    if (!check_long_scalar(at, end)) return false;
    key.clear();
  } else if (plain) {
    if (!is_valid_utf8(raw)) return fail_json(simdjson::UTF8_ERROR);
    key.assign(raw);
  } else if (!read_piece(at, end, [&](od::value& value) { return read_string(value, key); })) {
    return false;
  }
  at = skip_json_space(text_, end);
  if (at >= text_.size() || text_[at] != ':') return fail_syntax("expected `:`");
  ++at;
  return true;
}

bool RecordReader::read_member(std::size_t index, std::size_t begin, std::size_t end, JsonGame& out) {
  if (index == 0) {
    // The hand list is read later, an entry at a time; only its kind now.
    hands_begin_ = begin;
    hands_end_ = end;
    hands_found_ = text_[begin] == '[';
    if (hands_found_) return true;
    return read_piece(begin, end, [&](od::value& value) {
      od::array_iterator it;
      return open_array(value, "a sequence", it);
    });
  }
  if (end - begin > kMaxPieceBytes)
    return fail_too_long("`" + std::string(kJsonLogKeys[index]) + "` member", end - begin);
  return read_piece(begin, end, [&](od::value& value) { return read_game_field(index, value, out); });
}

bool RecordReader::read_game_object(std::size_t at, JsonGame& out) {
  std::array<bool, kJsonLogKeys.size()> seen{};
  std::array<bool, kWrittenBackKeys.size()> seen_written_back{};
  std::string key;
  ++at;
  if (!is_closed_at(at, '}')) {
    for (bool closed = false; !closed;) {
      if (!read_key(at, key)) return false;
      const int index = key_index(kJsonLogKeys, key);
      std::size_t end = 0;
      if (!find_value(at, end, index == 0 ? &hand_ends_ : nullptr)) return false;
      if (const int written_back = key_index(kWrittenBackKeys, key); written_back >= 0) {
        const auto field = static_cast<std::size_t>(written_back);
        if (seen_written_back[field]) return fail("duplicate field `" + key + "`");
        seen_written_back[field] = true;
        if (end - at > kMaxPieceBytes) return fail_too_long("`" + key + "` member", end - at);
        if (!read_piece(at, end, [&](od::value& value) { return read_written_back_field(field, value, out); })) {
          return false;
        }
      } else if (index < 0) {
        if (!skip_piece(at, end)) return false;
      } else {
        const auto field = static_cast<std::size_t>(index);
        // Refused before its value is read, even a malformed one.
        if (seen[field]) return fail("duplicate field `" + key + "`");
        seen[field] = true;
        if (!read_member(field, at, end, out)) return false;
      }
      at = end;
      if (!after_value(at, '}', closed)) return false;
    }
  } else {
    at = skip_json_space(text_, at) + 1;
  }
  // Settled in declaration order: `log`, `name` and `rule` are required;
  // the optional fields are already absent.
  for (std::size_t i = 0; i < 3; ++i) {
    if (!seen[i]) return fail("missing field `" + std::string(kJsonLogKeys[i]) + "`");
  }
  return check_document_end(at);
}

bool RecordReader::read_game_array(std::size_t at, JsonGame& out) {
  constexpr std::string_view kLengthText = "struct RawLog with 8 elements";
  std::size_t count = 0;
  ++at;
  if (!is_closed_at(at, ']')) {
    for (bool closed = false; !closed; ++count) {
      std::size_t end = 0;
      if (!find_value(at, end, count == 0 ? &hand_ends_ : nullptr)) return false;
      // An extra element is never looked at: a malformed one fails the same way.
      if (count == kJsonLogKeys.size()) return fail_extra_element(kLengthText);
      if (!read_member(count, at, end, out)) return false;
      at = end;
      if (!after_value(at, ']', closed)) return false;
    }
  } else {
    at = skip_json_space(text_, at) + 1;
  }
  if (count < kJsonLogKeys.size()) return fail(invalid_length_message(count, kLengthText));
  return check_document_end(at);
}

bool RecordReader::check_document_end(std::size_t at) {
  if (skip_json_space(text_, at) != text_.size()) return fail_syntax("trailing characters after the document");
  return true;
}

bool RecordReader::open(const PaddedText& text, JsonGame& out) {
  text_ = text.view();
  flat_.reserve(64);
  tile_scratch_.reserve(8);
  action_scratch_.reserve(64);
  const std::size_t start = skip_json_space(text_, 0);
  if (start == text_.size()) return fail_syntax("EOF while parsing a value");
  const char first = text_[start];
  if (first == '{' || first == '[') {
    const bool read = first == '{' ? read_game_object(start, out) : read_game_array(start, out);
    if (read || !hands_found_) return read;
    return fail_after_hands();
  }
  const bool value_start =
      first == '"' || first == '-' || is_digit(first) || first == 't' || first == 'f' || first == 'n';
  // Covers a byte-order mark, which is not whitespace.
  if (!value_start) return fail_syntax("expected value");
  // A document that is not an array or object is refused by its kind; the
  // kind is found by reading the first value alone, so that text after it
  // does not hide the complaint.
  std::size_t at = start;
  std::size_t end = 0;
  if (!find_value(at, end)) return false;
  return read_piece(at, end, [&](od::value& value) { return fail_type(value, "struct RawLog"); });
}

// A failure found past the hand list is the document's only if every hand
// reads: failures are reported in the order of the text.
bool RecordReader::fail_after_hands() {
  std::string later = std::move(error_);
  JsonHand hand;
  for (bool has = true; has;) {
    if (!next_hand(hand, has)) return false;
  }
  return fail(std::move(later));
}

bool RecordReader::next_hand(JsonHand& out, bool& has) {
  if (hands_at_ == 0) hands_at_ = hands_begin_ + 1;  // past the list's opening bracket
  has = false;
  std::size_t at = skip_json_space(text_, hands_at_);
  if (hands_done_ || (at < hands_end_ && text_[at] == ']' && hands_read_ == 0)) {
    hands_done_ = true;
    return true;
  }
  // The entry's end, noted when the list's end was found, or found now.
  while (hand_ends_read_ < hand_ends_.count && hand_ends_.ends[hand_ends_read_] <= at) ++hand_ends_read_;
  std::size_t end = 0;
  if (hand_ends_read_ < hand_ends_.count && (text_[at] == '[' || text_[at] == '{')) {
    end = hand_ends_.ends[hand_ends_read_++];
  } else if (!find_value(at, end)) {
    return false;
  }
  if (end - at > kMaxPieceBytes) return fail_too_long("hand entry", end - at);
  out.result.clear();
  if (!read_piece(at, end, [&](od::value& value) { return read_hand(value, kHandLevel, out); })) return false;
  ++hands_read_;
  bool closed = false;
  hands_at_ = end;
  if (!after_value(hands_at_, ']', closed)) return false;
  hands_done_ = closed;
  has = true;
  return true;
}

}  // namespace detail

struct JsonReader::State {
  explicit State(detail::od::parser& parser) : reader(parser) {}
  detail::RecordReader reader;
  JsonGame game;
};

JsonReader::JsonReader(std::unique_ptr<State> state) noexcept : state_(std::move(state)) {}
JsonReader::JsonReader(JsonReader&&) noexcept = default;
JsonReader& JsonReader::operator=(JsonReader&&) noexcept = default;
JsonReader::~JsonReader() = default;

std::expected<JsonReader, ReadError> JsonReader::open(const PaddedText& text) {
  thread_local detail::od::parser reused_parser;
  auto state = std::make_unique<State>(reused_parser);
  if (!state->reader.open(text, state->game)) return std::unexpected(ReadError{state->reader.take_error()});
  return JsonReader(std::move(state));
}

JsonGame& JsonReader::game() noexcept { return state_->game; }

std::expected<bool, ReadError> JsonReader::next_hand(JsonHand& hand) {
  bool has = false;
  if (!state_->reader.next_hand(hand, has)) return std::unexpected(ReadError{state_->reader.take_error()});
  return has;
}

std::expected<JsonLog, ReadError> read_json_log(const PaddedText& text) {
  auto reader = JsonReader::open(text);
  if (!reader) return std::unexpected(std::move(reader.error()));
  JsonLog log;
  static_cast<JsonGame&>(log) = std::move(reader->game());
  log.log.reserve(16);
  for (;;) {
    auto more = reader->next_hand(log.log.emplace_back());
    if (!more) return std::unexpected(std::move(more.error()));
    if (!*more) break;
  }
  log.log.pop_back();
  return log;
}

}  // namespace kiroku
