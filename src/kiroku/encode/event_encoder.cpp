#include "kiroku/encode/event_encoder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "kiroku/encode/json_writer.h"

namespace kiroku {

namespace {

using detail::JsonWriter;

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

// Upper bounds of the fixed part of each kind's text, in kind order, with the
// eight bytes of slack the writer's fixed-size copies need.  Worked out from
// the widest values (seat 255, "5mr", -2147483648); the encoder's tests check
// them against the longest texts.
constexpr std::array<std::uint16_t, kEventTypeNames.size()> kFixedTextBound = {
    48,   // none
    96,   // start_game, plus its names
    560,  // start_kyoku: 52 tile names and four scores
    64,   // tsumo
    80,   // dahai
    112,  // chi
    112,  // pon
    120,  // daiminkan
    112,  // kakan
    112,  // ankan
    48,   // dora
    48,   // reach
    48,   // reach_accepted
    144,  // hora, plus its ura markers
    96,   // ryukyoku
    48,   // end_kyoku
    48,   // end_game
};

constexpr std::size_t kSmallestTextBound = *std::min_element(kFixedTextBound.begin(), kFixedTextBound.end());

}  // namespace

std::size_t detail::max_text_size(const Event& event) noexcept {
  std::size_t size = kFixedTextBound[event.index()];
  if (const auto* game = std::get_if<event::StartGame>(&event)) {
    for (const std::string& name : game->names) size += 6 * name.size() + 3;  // every byte escaped
  } else if (const auto* hora = std::get_if<event::Hora>(&event)) {
    if (hora->ura_markers) size += 6 * hora->ura_markers->size();
  }
  return size;
}

namespace {

void write_event_text(const Event& event, JsonWriter& w) noexcept {
  const TypePrefix& prefix = kTypePrefixes[event.index()];
  w.slot(prefix.bytes, prefix.size);
  std::visit(MemberWriter{w}, event);
  w.raw('}');
}

}  // namespace

std::string encode_event(const Event& event) {
  std::string text;
  // Every bound is past the short-string buffer, but the compiler cannot
  // see it and warns of the writer's 32-byte slots overflowing that buffer.
  text.reserve(kSmallestTextBound);
  text.resize_and_overwrite(detail::max_text_size(event), [&](char* data, std::size_t) noexcept {
    JsonWriter w(data);
    write_event_text(event, w);
    return static_cast<std::size_t>(w.cursor() - data);
  });
  return text;
}

// Performance notes: room for a batch is made once from the bounds of its
// events (about 1.6 times what they need), then the batch is written with one
// cursor, so the loop per event does no capacity checks.
void EncodedEvents::reserve_more(std::size_t extra) {
  // Room for most games' texts at once.
  constexpr std::size_t kFirstCapacity = std::size_t{64} << 10;
  const std::size_t needed = used_ + extra;
  if (needed <= capacity_) return;
  const std::size_t capacity = std::max({needed, 2 * capacity_, kFirstCapacity});
  char* grown = static_cast<char*>(std::realloc(bytes_.get(), capacity));
  if (grown == nullptr) throw std::bad_alloc();
  (void)bytes_.release();  // realloc freed or kept it
  bytes_.reset(grown);
  capacity_ = capacity;
}

void EncodedEvents::append(std::span<const Event> events) {
  std::size_t bound = 0;
  for (const Event& event : events) bound += detail::max_text_size(event) + 1;  // and its line feed
  reserve_more(bound);

  JsonWriter w(bytes_.get() + used_);
  for (const Event& event : events) {
    write_event_text(event, w);
    w.raw('\n');
  }
  used_ = static_cast<std::size_t>(w.cursor() - bytes_.get());
  count_ += events.size();
}

void EncodedEvents::append_texts(std::string_view lines, std::size_t count) {
  reserve_more(lines.size());
  std::memcpy(bytes_.get() + used_, lines.data(), lines.size());
  used_ += lines.size();
  count_ += count;
}

EncodedEvents encode_events(std::span<const Event> events) {
  EncodedEvents encoded;
  encoded.append(events);
  return encoded;
}

}  // namespace kiroku
