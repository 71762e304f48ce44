#include "kiroku/event_encoder.h"

#include <array>
#include <cstdint>
#include <utility>

#include "kiroku/json_writer.h"

namespace kiroku {

namespace {

using detail::JsonWriter;

constexpr std::size_t kInitialTextCapacity = 128;
// Most texts are draws and discards of 35 to 60 bytes; a guess per event
// keeps the arena from growing more than once or twice for a whole game.
constexpr std::size_t kExpectedTextSize = 56;

// `{"type":"tsumo"` and its like, per kind, in slots copied whole.
struct TypePrefix {
  std::array<char, 32> bytes{};
  std::uint8_t size = 0;
};

constexpr std::array<TypePrefix, kEventTypeNames.size()> kTypePrefixes = [] {
  std::array<TypePrefix, kEventTypeNames.size()> prefixes{};
  constexpr std::string_view kOpening = "{\"type\":\"";
  for (std::size_t kind = 0; kind < kEventTypeNames.size(); ++kind) {
    TypePrefix& prefix = prefixes[kind];
    std::size_t size = 0;
    for (char c : kOpening) prefix.bytes[size++] = c;
    for (char c : kEventTypeNames[kind]) prefix.bytes[size++] = c;  // no escaping needed
    prefix.bytes[size++] = '"';
    prefix.size = static_cast<std::uint8_t>(size);
  }
  return prefixes;
}();

// Writes the members after "type"; each member starts with its comma.
struct MemberWriter {
  JsonWriter& w;

  template <std::size_t N>
  void number(const char (&key)[N], std::uint8_t value) {
    w.literal(key);
    w.unsigned_number(value);
  }
  void actor(event::Seat actor) { number(",\"actor\":", actor); }
  void target(event::Seat target) { number(",\"target\":", target); }
  void pai(Tile tile) {
    w.literal(",\"pai\":");
    w.tile(tile);
  }
  void consumed(std::span<const Tile> tiles) {
    w.literal(",\"consumed\":");
    w.tiles(tiles);
  }
  template <std::size_t N>
  void scores(const char (&key)[N], const Scores& scores) {
    w.literal(key);
    w.raw('[');
    for (std::size_t i = 0; i < scores.size(); ++i) {
      if (i != 0) w.raw(',');
      w.signed_number(scores[i]);
    }
    w.raw(']');
  }
  void deltas(const std::optional<Scores>& deltas) {
    if (deltas) scores(",\"deltas\":", *deltas);
  }

  void operator()(const event::None&) {}
  void operator()(const event::StartGame& e) {
    w.literal(",\"names\":[");
    for (std::size_t i = 0; i < e.names.size(); ++i) {
      if (i != 0) w.raw(',');
      w.string(e.names[i]);
    }
    w.literal("],\"kyoku_first\":");
    w.unsigned_number(e.kyoku_first);
    w.literal(",\"aka_flag\":");
    w.boolean(e.aka_flag);
  }
  void operator()(const event::StartKyoku& e) {
    w.literal(",\"bakaze\":");
    w.tile(e.bakaze);
    w.literal(",\"dora_marker\":");
    w.tile(e.dora_marker);
    number(",\"kyoku\":", e.kyoku);
    number(",\"honba\":", e.honba);
    number(",\"kyotaku\":", e.kyotaku);
    number(",\"oya\":", e.oya);
    scores(",\"scores\":", e.scores);
    w.literal(",\"tehais\":[");
    for (std::size_t i = 0; i < e.tehais.size(); ++i) {
      if (i != 0) w.raw(',');
      w.tiles(e.tehais[i]);
    }
    w.raw(']');
  }
  void operator()(const event::Tsumo& e) {
    actor(e.actor);
    pai(e.pai);
  }
  void operator()(const event::Dahai& e) {
    actor(e.actor);
    pai(e.pai);
    w.literal(",\"tsumogiri\":");
    w.boolean(e.tsumogiri);
  }
  // Chi, pon and daiminkan share their members.
  void call(event::Seat caller, event::Seat from, Tile tile, std::span<const Tile> tiles) {
    actor(caller);
    target(from);
    pai(tile);
    consumed(tiles);
  }
  void operator()(const event::Chi& e) { call(e.actor, e.target, e.pai, e.consumed); }
  void operator()(const event::Pon& e) { call(e.actor, e.target, e.pai, e.consumed); }
  void operator()(const event::Daiminkan& e) { call(e.actor, e.target, e.pai, e.consumed); }
  void operator()(const event::Kakan& e) {
    actor(e.actor);
    pai(e.pai);
    consumed(e.consumed);
  }
  void operator()(const event::Ankan& e) {
    actor(e.actor);
    consumed(e.consumed);
  }
  void operator()(const event::Dora& e) {
    w.literal(",\"dora_marker\":");
    w.tile(e.dora_marker);
  }
  void operator()(const event::Reach& e) { actor(e.actor); }
  void operator()(const event::ReachAccepted& e) { actor(e.actor); }
  void operator()(const event::Hora& e) {
    actor(e.actor);
    target(e.target);
    deltas(e.deltas);
    if (e.ura_markers) {
      w.literal(",\"ura_markers\":");
      w.tiles(*e.ura_markers);
    }
  }
  void operator()(const event::Ryukyoku& e) { deltas(e.deltas); }
  void operator()(const event::EndKyoku&) {}
  void operator()(const event::EndGame&) {}
};

}  // namespace

// The fixed-size kinds need at most about 120 bytes (a hora with its
// deltas); the lists a kind may hold add what their elements can take.
std::size_t detail::max_text_size(const Event& event) noexcept {
  constexpr std::size_t kFixedKinds = 192;
  constexpr std::size_t kStartKyoku = 640;  // 52 tile names and four scores
  if (const auto* game = std::get_if<event::StartGame>(&event)) {
    std::size_t size = kFixedKinds;
    for (const std::string& name : game->names) size += 6 * name.size() + 3;
    return size;
  }
  if (std::holds_alternative<event::StartKyoku>(event)) return kStartKyoku;
  if (const auto* hora = std::get_if<event::Hora>(&event)) {
    return kFixedKinds + (hora->ura_markers ? 6 * hora->ura_markers->size() : 0);
  }
  return kFixedKinds;
}

namespace {

// Appends the text of `event` to `out`.
void append_event_text(const Event& event, std::string& out) {
  const std::size_t start = out.size();
  out.resize_and_overwrite(start + detail::max_text_size(event), [&](char* data, std::size_t) noexcept {
    JsonWriter w(data + start);
    const TypePrefix& prefix = kTypePrefixes[event.index()];
    w.slot(prefix.bytes, prefix.size);
    std::visit(MemberWriter{w}, event);
    w.raw('}');
    return static_cast<std::size_t>(w.cursor() - data);
  });
}

}  // namespace

// Every event of the model can be written: its tiles come from the tile
// table and its texts are escaped.  The error channel stays so that front
// ends keep one mapping for every stage.
std::expected<std::string, EncodeError> encode_event(const Event& event) {
  std::string text;
  text.reserve(kInitialTextCapacity);
  append_event_text(event, text);
  return text;
}

std::expected<EncodedEvents, EncodeError> encode_events(std::span<const Event> events) {
  EncodedEvents encoded;
  encoded.bytes_.reserve(events.size() * kExpectedTextSize + kInitialTextCapacity);
  encoded.ends_.reserve(events.size());
  for (const Event& event : events) {
    append_event_text(event, encoded.bytes_);
    encoded.ends_.push_back(encoded.bytes_.size());
    encoded.bytes_.push_back('\n');  // within the reserved bound
  }
  return encoded;
}

}  // namespace kiroku
