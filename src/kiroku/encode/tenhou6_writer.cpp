#include "kiroku/encode/tenhou6_writer.h"

#include <charconv>
#include <cmath>  // isfinite
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "kiroku/encode/json_writer.h"
#include "kiroku/tile_code.h"

// Performance notes: as the event encoder does, each hand's text is written
// with one raw cursor into room reserved from an upper bound of it, so that
// the loop per entry does no capacity checks; a hand writes a few hundred
// short entries, and checked appends cost several times the writing itself.

namespace kiroku {

namespace {

using detail::JsonWriter;

// The bound of any one number and the comma before it: 20 digits and a sign,
// or a double's shortest form (at most 24 bytes).
constexpr std::size_t kNumberBound = 32;

constexpr std::size_t string_bound(std::string_view text) noexcept { return 6 * text.size() + 3; }

std::size_t value_bound(const JsonValue& value) noexcept {
  if (const auto* text = std::get_if<std::string>(&value.value)) return string_bound(*text);
  if (const auto* array = std::get_if<JsonValue::Array>(&value.value)) {
    std::size_t size = 2;
    for (const JsonValue& element : *array) size += value_bound(element) + 1;
    return size;
  }
  if (const auto* object = std::get_if<JsonValue::Object>(&value.value)) {
    std::size_t size = 2;
    for (const JsonMember& member : *object) size += string_bound(member.key) + value_bound(member.value) + 1;
    return size;
  }
  return kNumberBound;  // a number, or a literal
}

std::size_t action_bound(const ActionItem& item) noexcept {
  if (const auto* text = std::get_if<NotationText>(&item)) return string_bound(text->view());
  return 4;  // a tile code or 60, and its comma
}

std::size_t hand_bound(const JsonHand& hand) noexcept {
  std::size_t size = 64 + 4 * kNumberBound + 3 * (hand.dora_indicators.size() + hand.ura_indicators.size());
  for (const JsonSeat& seat : hand.seats) {
    size += 16 + 3 * seat.hand.size();  // three lists, their brackets and commas
    for (const ActionItem& item : seat.takes) size += action_bound(item);
    for (const ActionItem& item : seat.discards) size += action_bound(item);
  }
  for (const ResultItem& item : hand.result) {
    if (const auto* label = std::get_if<std::string>(&item)) {
      size += string_bound(*label);
    } else if (const auto* values = std::get_if<std::vector<JsonValue>>(&item)) {
      size += 2;
      for (const JsonValue& value : *values) size += value_bound(value) + 1;
    } else {
      size += 2 + 4 * kNumberBound;
    }
  }
  return size;
}

// Any number as std::to_chars writes it, which is its shortest form.
template <typename Number>
void write_chars(JsonWriter& w, Number value) noexcept {
  std::array<char, kNumberBound> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  w.raw(std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())));
}

void write_number(JsonWriter& w, std::uint64_t value) noexcept {
  if (value <= UINT32_MAX) return w.unsigned_number(static_cast<std::uint32_t>(value));
  write_chars(w, value);
}

void write_number(JsonWriter& w, std::int64_t value) noexcept { write_chars(w, value); }

// The shortest text that reads back as the same double, as JavaScript
// writes numbers: 2074.7, -46, 63.8; null for what JSON cannot hold, as
// JavaScript writes NaN and the infinities.
void write_number(JsonWriter& w, double value) noexcept {
  if (!std::isfinite(value)) return w.literal("null");
  write_chars(w, value);
}

void write_tile(JsonWriter& w, Tile tile) noexcept {
  const std::uint8_t code = tile_code(tile);
  if (code == 0) return w.raw('0');
  w.raw(std::string_view(&detail::kDigitPairs[2 * code], 2));
}

// [a,b,c] of anything `write_one` writes.
template <typename Range, typename WriteOne>
void write_array(JsonWriter& w, const Range& items, WriteOne write_one) {
  w.raw('[');
  bool first = true;
  for (const auto& item : items) {
    if (!first) w.raw(',');
    first = false;
    write_one(item);
  }
  w.raw(']');
}

void write_tiles(JsonWriter& w, std::span<const Tile> tiles) noexcept {
  write_array(w, tiles, [&](Tile tile) { write_tile(w, tile); });
}

void write_value(JsonWriter& w, const JsonValue& value) noexcept {
  std::visit(
      [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, JsonNull>) {
          w.literal("null");
        } else if constexpr (std::is_same_v<V, bool>) {
          w.boolean(v);
        } else if constexpr (std::is_same_v<V, std::string>) {
          w.string(v);
        } else if constexpr (std::is_same_v<V, JsonValue::Array>) {
          write_array(w, v, [&](const JsonValue& element) { write_value(w, element); });
        } else if constexpr (std::is_same_v<V, JsonValue::Object>) {
          w.raw('{');
          for (std::size_t i = 0; i < v.size(); ++i) {
            if (i != 0) w.raw(',');
            w.string(v[i].key);
            w.raw(':');
            write_value(w, v[i].value);
          }
          w.raw('}');
        } else {
          write_number(w, v);
        }
      },
      value.value);
}

void write_action(JsonWriter& w, const ActionItem& item) noexcept {
  if (const auto* tile = std::get_if<Tile>(&item)) return write_tile(w, *tile);
  if (const auto* number = std::get_if<std::uint8_t>(&item)) return w.unsigned_number(*number);
  w.string(std::get<NotationText>(item).view());
}

void write_result(JsonWriter& w, const ResultItem& item) noexcept {
  if (const auto* label = std::get_if<std::string>(&item)) return w.string(*label);
  if (const auto* deltas = std::get_if<Scores>(&item)) {
    return write_array(w, *deltas, [&](std::int32_t delta) { w.signed_number(delta); });
  }
  write_array(w, std::get<std::vector<JsonValue>>(item), [&](const JsonValue& v) { write_value(w, v); });
}

void write_hand(JsonWriter& w, const JsonHand& hand) noexcept {
  w.raw('[');
  const std::array<std::uint8_t, 3> id = {hand.id.hand_index, hand.id.honba, hand.id.deposits};
  write_array(w, id, [&](std::uint8_t n) { w.unsigned_number(n); });
  w.raw(',');
  write_array(w, hand.scores, [&](std::int32_t score) { w.signed_number(score); });
  w.raw(',');
  write_tiles(w, hand.dora_indicators);
  w.raw(',');
  write_tiles(w, hand.ura_indicators);
  for (const JsonSeat& seat : hand.seats) {
    w.raw(',');
    write_tiles(w, seat.hand);
    w.raw(',');
    write_array(w, seat.takes, [&](const ActionItem& item) { write_action(w, item); });
    w.raw(',');
    write_array(w, seat.discards, [&](const ActionItem& item) { write_action(w, item); });
  }
  w.raw(',');
  write_array(w, hand.result, [&](const ResultItem& item) { write_result(w, item); });
  w.raw(']');
}

// --- The document ------------------------------------------------------------

std::size_t strings_bound(std::span<const std::string> texts) noexcept {
  std::size_t size = 2;
  for (const std::string& text : texts) size += string_bound(text);
  return size;
}

// Everything but the hand texts, keys and punctuation included.
std::size_t game_bound(const Tenhou6Game& game) noexcept {
  const JsonGame& json = game.game;
  std::size_t size = 256 + string_bound(game.ref) + string_bound(json.rule.disp) + strings_bound(json.name);
  if (json.ratingc) size += string_bound(*json.ratingc);
  if (json.dan) size += strings_bound(*json.dan);
  if (json.sx) size += strings_bound(*json.sx);
  if (json.rate) size += kNumberBound * json.rate->size();
  if (json.sc) size += kNumberBound * json.sc->size();
  return size + (32 + 4 * kNumberBound) * json.connection.size();
}

void write_strings(JsonWriter& w, std::span<const std::string> texts) noexcept {
  write_array(w, texts, [&](const std::string& text) { w.string(text); });
}

// `,"key":` (no comma when it opens the object).
template <std::size_t N>
void key(JsonWriter& w, const char (&quoted_key_colon)[N], bool first = false) noexcept {
  if (!first) w.raw(',');
  w.literal(quoted_key_colon);
}

void write_rule(JsonWriter& w, const Rule& rule) noexcept {
  w.raw('{');
  key(w, "\"disp\":", true);
  w.string(rule.disp);
  // "aka" is written only when set: Tenhou's own logs name each red five.
  if (rule.aka != 0) {
    key(w, "\"aka\":");
    w.unsigned_number(rule.aka);
  }
  key(w, "\"aka53\":");
  w.unsigned_number(rule.aka53);
  key(w, "\"aka52\":");
  w.unsigned_number(rule.aka52);
  key(w, "\"aka51\":");
  w.unsigned_number(rule.aka51);
  w.raw('}');
}

void write_connections(JsonWriter& w, const std::vector<JsonConnection>& connections, std::size_t first,
                       std::size_t count) noexcept {
  bool any = false;
  for (const JsonConnection& connection : connections) {
    if (connection.log < first || connection.log - first >= count) continue;
    if (!any) key(w, "\"connection\":[");
    if (any) w.raw(',');
    any = true;
    key(w, "{\"what\":", true);
    w.unsigned_number(connection.what);
    key(w, "\"log\":");
    w.unsigned_number(static_cast<std::uint32_t>(connection.log - first));
    key(w, "\"who\":");
    w.unsigned_number(connection.who);
    key(w, "\"step\":");
    w.unsigned_number(connection.step);
    w.raw('}');
  }
  if (any) w.raw(']');
}

void write_opening(JsonWriter& w, const Tenhou6Game& game) noexcept {
  w.literal("{\"ver\":2.3");
  key(w, "\"ref\":");
  w.string(game.ref);
  key(w, "\"log\":[");
}

void write_closing(JsonWriter& w, const Tenhou6Game& game, std::size_t first_hand, std::size_t hand_count) noexcept {
  const JsonGame& json = game.game;
  w.raw(']');
  write_connections(w, json.connection, first_hand, hand_count);
  if (json.ratingc) {
    key(w, "\"ratingc\":");
    w.string(*json.ratingc);
  }
  key(w, "\"rule\":");
  write_rule(w, json.rule);
  if (json.lobby) {
    key(w, "\"lobby\":");
    w.signed_number(*json.lobby);
  }
  if (json.dan) {
    key(w, "\"dan\":");
    write_strings(w, *json.dan);
  }
  if (json.rate) {
    key(w, "\"rate\":");
    write_array(w, *json.rate, [&](double rate) { write_number(w, rate); });
  }
  if (json.sx) {
    key(w, "\"sx\":");
    write_strings(w, *json.sx);
  }
  if (json.sc) {
    key(w, "\"sc\":");
    write_array(w, *json.sc, [&](double value) { write_number(w, value); });
  }
  key(w, "\"name\":");
  write_strings(w, json.name);
  w.raw('}');
}

// Writes with one cursor into room for `bound` more bytes of `out`, then
// keeps what was written.
template <typename Write>
void append_written(std::string& out, std::size_t bound, Write write) {
  const std::size_t start = out.size();
  out.resize_and_overwrite(start + bound, [&](char* data, std::size_t) noexcept {
    JsonWriter w(data + start);
    write(w);
    return static_cast<std::size_t>(w.cursor() - data);
  });
}

}  // namespace

void append_tenhou6_hand(const JsonHand& hand, std::string& out) {
  append_written(out, hand_bound(hand), [&](JsonWriter& w) { write_hand(w, hand); });
}

void append_tenhou6_opening(const Tenhou6Game& game, std::string& out) {
  append_written(out, game_bound(game), [&](JsonWriter& w) { write_opening(w, game); });
}

void append_tenhou6_closing(const Tenhou6Game& game, std::size_t first_hand, std::size_t hand_count, std::string& out) {
  append_written(out, game_bound(game), [&](JsonWriter& w) { write_closing(w, game, first_hand, hand_count); });
}

std::string tenhou6_document(const Tenhou6Game& game, std::string_view hand_list, std::size_t first_hand,
                             std::size_t hand_count) {
  std::string out;
  out.reserve(game_bound(game) + hand_list.size());
  append_tenhou6_opening(game, out);
  out += hand_list;
  append_tenhou6_closing(game, first_hand, hand_count, out);
  return out;
}

}  // namespace kiroku
