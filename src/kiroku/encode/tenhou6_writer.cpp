#include "kiroku/encode/tenhou6_writer.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "kiroku/encode/json_writer.h"
#include "kiroku/tile_code.h"

namespace kiroku {

namespace {

// Every number the log holds fits: 20 digits and a sign, or a double's
// shortest form (at most 24 bytes).
constexpr std::size_t kMaxNumberBytes = 32;

template <typename Number>
void append_number(std::string& out, Number value) {
  std::array<char, kMaxNumberBytes> digits{};
  const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  out.append(digits.data(), written.ptr);
}

void append_string(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  out.resize(start + 6 * text.size() + 2);  // the most the writer may write
  detail::JsonWriter writer(out.data() + start);
  writer.string(text);
  out.resize(static_cast<std::size_t>(writer.cursor() - out.data()));
}

void append_tile(std::string& out, Tile tile) { append_number(out, tile_code(tile)); }

// [a,b,c] of anything `append_one` writes.
template <typename Range, typename Writer>
void append_array(std::string& out, const Range& items, Writer append_one) {
  out += '[';
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ',';
    first = false;
    append_one(item);
  }
  out += ']';
}

void append_tiles(std::string& out, std::span<const Tile> tiles) {
  append_array(out, tiles, [&](Tile tile) { append_tile(out, tile); });
}

void append_value(std::string& out, const JsonValue& value) {
  std::visit(
      [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, JsonNull>) {
          out += "null";
        } else if constexpr (std::is_same_v<V, bool>) {
          out += v ? "true" : "false";
        } else if constexpr (std::is_same_v<V, std::string>) {
          append_string(out, v);
        } else if constexpr (std::is_same_v<V, JsonValue::Array>) {
          append_array(out, v, [&](const JsonValue& element) { append_value(out, element); });
        } else if constexpr (std::is_same_v<V, JsonValue::Object>) {
          out += '{';
          for (std::size_t i = 0; i < v.size(); ++i) {
            if (i != 0) out += ',';
            append_string(out, v[i].key);
            out += ':';
            append_value(out, v[i].value);
          }
          out += '}';
        } else {
          append_number(out, v);
        }
      },
      value.value);
}

void append_action(std::string& out, const ActionItem& item) {
  if (const auto* tile = std::get_if<Tile>(&item)) return append_tile(out, *tile);
  if (const auto* number = std::get_if<std::uint8_t>(&item)) return append_number(out, *number);
  append_string(out, std::get<NotationText>(item).view());
}

void append_result(std::string& out, const ResultItem& item) {
  if (const auto* label = std::get_if<std::string>(&item)) return append_string(out, *label);
  if (const auto* deltas = std::get_if<Scores>(&item)) {
    return append_array(out, *deltas, [&](std::int32_t delta) { append_number(out, delta); });
  }
  append_array(out, std::get<std::vector<JsonValue>>(item), [&](const JsonValue& v) { append_value(out, v); });
}

// `"key":`, after a comma unless it opens the object.
void append_key(std::string& out, std::string_view key) {
  if (out.back() != '{') out += ',';
  out += '"';
  out += key;
  out += "\":";
}

void append_strings(std::string& out, std::span<const std::string> texts) {
  append_array(out, texts, [&](const std::string& text) { append_string(out, text); });
}

void append_rule(std::string& out, const Rule& rule) {
  out += '{';
  append_key(out, "disp");
  append_string(out, rule.disp);
  // "aka" is written only when set: Tenhou's own logs name each red five.
  if (rule.aka != 0) {
    append_key(out, "aka");
    append_number(out, rule.aka);
  }
  append_key(out, "aka53");
  append_number(out, rule.aka53);
  append_key(out, "aka52");
  append_number(out, rule.aka52);
  append_key(out, "aka51");
  append_number(out, rule.aka51);
  out += '}';
}

void append_connections(std::string& out, const Tenhou6Game& game, std::size_t first, std::size_t count) {
  bool any = false;
  for (const JsonConnection& connection : game.game.connection) {
    if (connection.log < first || connection.log - first >= count) continue;
    if (!any) append_key(out, "connection");
    out += any ? ",{" : "[{";
    any = true;
    append_key(out, "what");
    append_number(out, connection.what);
    append_key(out, "log");
    append_number(out, connection.log - first);
    append_key(out, "who");
    append_number(out, connection.who);
    append_key(out, "step");
    append_number(out, connection.step);
    out += '}';
  }
  if (any) out += ']';
}

}  // namespace

void append_tenhou6_hand(const JsonHand& hand, std::string& out) {
  out += '[';
  const std::array<std::uint8_t, 3> id = {hand.id.hand_index, hand.id.honba, hand.id.deposits};
  append_array(out, id, [&](std::uint8_t n) { append_number(out, n); });
  out += ',';
  append_array(out, hand.scores, [&](std::int32_t score) { append_number(out, score); });
  out += ',';
  append_tiles(out, hand.dora_indicators);
  out += ',';
  append_tiles(out, hand.ura_indicators);
  for (const JsonSeat& seat : hand.seats) {
    out += ',';
    append_tiles(out, seat.hand);
    out += ',';
    append_array(out, seat.takes, [&](const ActionItem& item) { append_action(out, item); });
    out += ',';
    append_array(out, seat.discards, [&](const ActionItem& item) { append_action(out, item); });
  }
  out += ',';
  append_array(out, hand.result, [&](const ResultItem& item) { append_result(out, item); });
  out += ']';
}

std::string tenhou6_document(const Tenhou6Game& game, std::span<const std::string> hands, std::size_t first_hand) {
  std::size_t size = 512;
  for (const std::string& hand : hands) size += hand.size() + 1;
  std::string out;
  out.reserve(size);
  const JsonGame& json = game.game;
  out += "{\"ver\":2.3";
  append_key(out, "ref");
  append_string(out, game.ref);
  append_key(out, "log");
  append_array(out, hands, [&](const std::string& hand) { out += hand; });
  append_connections(out, game, first_hand, hands.size());
  if (json.ratingc) {
    append_key(out, "ratingc");
    append_string(out, *json.ratingc);
  }
  append_key(out, "rule");
  append_rule(out, json.rule);
  if (json.lobby) {
    append_key(out, "lobby");
    append_number(out, *json.lobby);
  }
  if (json.dan) {
    append_key(out, "dan");
    append_strings(out, *json.dan);
  }
  if (json.rate) {
    append_key(out, "rate");
    append_array(out, *json.rate, [&](double rate) { append_number(out, rate); });
  }
  if (json.sx) {
    append_key(out, "sx");
    append_strings(out, *json.sx);
  }
  if (json.sc) {
    append_key(out, "sc");
    append_array(out, *json.sc, [&](double value) { append_number(out, value); });
  }
  append_key(out, "name");
  append_strings(out, json.name);
  out += '}';
  return out;
}

}  // namespace kiroku
