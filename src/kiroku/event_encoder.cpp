#include "kiroku/event_encoder.h"

#include <utility>

#include "kiroku/json_writer.h"

namespace kiroku {

namespace {

using detail::JsonWriter;

constexpr std::size_t kInitialTextCapacity = 128;
// Most texts are draws and discards of 35 to 60 bytes; a guess per event
// keeps the arena from growing more than once or twice for a whole game.
constexpr std::size_t kExpectedTextSize = 56;

// Writes the members after "type"; each member starts with its comma.
struct MemberWriter {
  JsonWriter& w;

  void seat(std::string_view key, event::Seat seat) {
    w.raw(key);
    w.unsigned_number(seat);
  }
  void actor(event::Seat actor) { seat(",\"actor\":", actor); }
  void target(event::Seat target) { seat(",\"target\":", target); }
  void pai(Tile tile) {
    w.raw(",\"pai\":");
    w.tile(tile);
  }
  void consumed(std::span<const Tile> tiles) {
    w.raw(",\"consumed\":");
    w.tiles(tiles);
  }
  void scores(std::string_view key, const Scores& scores) {
    w.raw(key);
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
    w.raw(",\"names\":[");
    for (std::size_t i = 0; i < e.names.size(); ++i) {
      if (i != 0) w.raw(',');
      w.string(e.names[i]);
    }
    w.raw("],\"kyoku_first\":");
    w.unsigned_number(e.kyoku_first);
    w.raw(",\"aka_flag\":");
    w.boolean(e.aka_flag);
  }
  void operator()(const event::StartKyoku& e) {
    w.raw(",\"bakaze\":");
    w.tile(e.bakaze);
    w.raw(",\"dora_marker\":");
    w.tile(e.dora_marker);
    seat(",\"kyoku\":", e.kyoku);
    seat(",\"honba\":", e.honba);
    seat(",\"kyotaku\":", e.kyotaku);
    seat(",\"oya\":", e.oya);
    scores(",\"scores\":", e.scores);
    w.raw(",\"tehais\":[");
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
    w.raw(",\"tsumogiri\":");
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
    w.raw(",\"dora_marker\":");
    w.tile(e.dora_marker);
  }
  void operator()(const event::Reach& e) { actor(e.actor); }
  void operator()(const event::ReachAccepted& e) { actor(e.actor); }
  void operator()(const event::Hora& e) {
    actor(e.actor);
    target(e.target);
    deltas(e.deltas);
    if (e.ura_markers) {
      w.raw(",\"ura_markers\":");
      w.tiles(*e.ura_markers);
    }
  }
  void operator()(const event::Ryukyoku& e) { deltas(e.deltas); }
  void operator()(const event::EndKyoku&) {}
  void operator()(const event::EndGame&) {}
};

void append_event_text(const Event& event, std::string& out) {
  JsonWriter w(out);
  w.raw("{\"type\":\"");
  w.raw(event_type_name(event));  // type strings need no escaping
  w.raw('"');
  std::visit(MemberWriter{w}, event);
  w.raw('}');
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
    encoded.bytes_.push_back('\n');
  }
  return encoded;
}

}  // namespace kiroku
