#include "hand_builder.h"

#include <algorithm>
#include <stdexcept>
#include <type_traits>
#include <variant>

#include "kiroku/tile_code.h"

namespace kiroku::conv::testing {

Entry::Entry(int number) {
  if (number < 0 || number > 255) throw std::invalid_argument("entry out of range");
  const auto byte = static_cast<std::uint8_t>(number);
  if (auto t = tile_from_code(byte)) {
    item = *t;
  } else {
    item = byte;
  }
}

Entry::Entry(const char* notation) : item(NotationText(notation)) {}

Tile tile(int code) {
  auto t = tile_from_code(static_cast<std::uint8_t>(code));
  if (code < 0 || code > 255 || !t) throw std::invalid_argument("not a tile code");
  return *t;
}

HandBuilder::HandBuilder(std::uint8_t hand_index, std::uint8_t honba) {
  hand_.id = HandId{.hand_index = hand_index, .honba = honba, .deposits = 0};
  hand_.scores = {25000, 25000, 25000, 25000};
  hand_.dora_indicators = {tile(41)};
  hand_.result = Draw{};
  // The walk never looks into the starting hands; any 13 tiles will do.
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    for (std::size_t i = 0; i < kStartingHandSize; ++i) {
      hand_.seats[seat].hand[i] = tile(static_cast<int>(11 + 10 * (seat % 3) + i % 9));
    }
  }
}

HandBuilder& HandBuilder::seat(std::uint8_t seat, Entries takes, Entries discards) {
  return seat_lists(seat, std::vector<Entry>(takes), std::vector<Entry>(discards));
}

HandBuilder& HandBuilder::seat_lists(std::uint8_t seat, const std::vector<Entry>& takes,
                                     const std::vector<Entry>& discards) {
  auto& record = hand_.seats.at(seat);
  record.takes.clear();
  record.discards.clear();
  for (const Entry& e : takes) record.takes.push_back(e.item);
  for (const Entry& e : discards) record.discards.push_back(e.item);
  return *this;
}

HandBuilder& HandBuilder::dora(std::initializer_list<int> codes) {
  hand_.dora_indicators.clear();
  for (int code : codes) hand_.dora_indicators.push_back(tile(code));
  return *this;
}

HandBuilder& HandBuilder::ura(std::initializer_list<int> codes) {
  hand_.ura_indicators.clear();
  for (int code : codes) hand_.ura_indicators.push_back(tile(code));
  return *this;
}

HandBuilder& HandBuilder::draw(Scores deltas) {
  hand_.result = Draw{deltas};
  return *this;
}

HandBuilder& HandBuilder::win(std::uint8_t winner, std::uint8_t target, Scores deltas) {
  if (!std::holds_alternative<std::vector<Win>>(hand_.result)) hand_.result = std::vector<Win>{};
  std::get<std::vector<Win>>(hand_.result).push_back(Win{.deltas = deltas, .winner = winner, .target = target});
  return *this;
}

PreparedJsonLog log_of(std::vector<PreparedHand> hands) {
  PreparedJsonLog log;
  log.names = {"A", "B", "C", "D"};
  log.hands = std::move(hands);
  return log;
}

namespace {

std::string name(Tile t) { return std::string(tile_name(t)); }

template <std::size_t N>
std::string tiles(const std::array<Tile, N>& consumed) {
  std::string text = "[";
  for (std::size_t i = 0; i < N; ++i) text += (i == 0 ? "" : " ") + name(consumed[i]);
  return text + "]";
}

}  // namespace

std::string summary(const Event& event) {
  const std::string type(event_type_name(event));
  return std::visit(
      [&](const auto& e) -> std::string {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, event::Tsumo>) {
          return type + " " + std::to_string(e.actor) + " " + name(e.pai);
        } else if constexpr (std::is_same_v<E, event::Dahai>) {
          return type + " " + std::to_string(e.actor) + " " + name(e.pai) + (e.tsumogiri ? " tsumogiri" : "");
        } else if constexpr (std::is_same_v<E, event::Chi> || std::is_same_v<E, event::Pon> ||
                             std::is_same_v<E, event::Daiminkan>) {
          return type + " " + std::to_string(e.actor) + " from " + std::to_string(e.target) + " " + name(e.pai) + " " +
                 tiles(e.consumed);
        } else if constexpr (std::is_same_v<E, event::Kakan>) {
          return type + " " + std::to_string(e.actor) + " " + name(e.pai) + " " + tiles(e.consumed);
        } else if constexpr (std::is_same_v<E, event::Ankan>) {
          return type + " " + std::to_string(e.actor) + " " + tiles(e.consumed);
        } else if constexpr (std::is_same_v<E, event::Dora>) {
          return type + " " + name(e.dora_marker);
        } else if constexpr (std::is_same_v<E, event::Reach> || std::is_same_v<E, event::ReachAccepted>) {
          return type + " " + std::to_string(e.actor);
        } else if constexpr (std::is_same_v<E, event::Hora>) {
          return type + " " + std::to_string(e.actor) + " from " + std::to_string(e.target);
        } else {
          return type;
        }
      },
      event);
}

std::vector<std::string> summaries(const std::vector<Event>& events) {
  std::vector<std::string> lines;
  lines.reserve(events.size());
  for (const Event& e : events) lines.push_back(summary(e));
  return lines;
}

std::vector<Event> events_of(const std::vector<ListEntry>& entries, event::Seat actor) {
  std::vector<Event> events;
  for (const ListEntry& e : entries) {
    const auto& c = e.consumed;
    switch (e.kind) {
      case ListEntry::Kind::Tsumo: events.push_back(event::Tsumo{.actor = actor, .pai = e.pai}); break;
      case ListEntry::Kind::Chi:
        events.push_back(event::Chi{.actor = actor, .target = e.target, .pai = e.pai, .consumed = {c[0], c[1]}});
        break;
      case ListEntry::Kind::Pon:
        events.push_back(event::Pon{.actor = actor, .target = e.target, .pai = e.pai, .consumed = {c[0], c[1]}});
        break;
      case ListEntry::Kind::Daiminkan:
        events.push_back(event::Daiminkan{.actor = actor, .target = e.target, .pai = e.pai, .consumed = c});
        break;
      case ListEntry::Kind::Dahai:
        if (e.riichi) events.push_back(event::Reach{.actor = actor});
        events.push_back(event::Dahai{.actor = actor, .pai = e.pai, .tsumogiri = e.tsumogiri});
        break;
      case ListEntry::Kind::Kakan: events.push_back(event::Kakan{.actor = actor, .pai = e.pai, .consumed = c}); break;
      case ListEntry::Kind::Ankan:
        events.push_back(event::Ankan{.actor = actor, .consumed = {c[0], c[1], c[2], e.pai}});
        break;
    }
  }
  return events;
}

std::vector<std::string> play_of(const std::vector<Event>& events) {
  auto begin = std::find_if(events.begin(), events.end(),
                            [](const Event& e) { return std::holds_alternative<event::StartKyoku>(e); });
  auto end =
      std::find_if(begin, events.end(), [](const Event& e) { return std::holds_alternative<event::EndKyoku>(e); });
  std::vector<std::string> lines;
  if (begin == events.end()) return lines;
  for (auto it = std::next(begin); it != end; ++it) lines.push_back(summary(*it));
  return lines;
}

}  // namespace kiroku::conv::testing
