#include "hand_builder.h"

#include <algorithm>
#include <stdexcept>
#include <type_traits>
#include <variant>

#include "kiroku/conv/converter.h"
#include "kiroku/prepare/json_preparation.h"
#include "kiroku/tile_code.h"

namespace kiroku::testing {

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
  record_.id = HandId{.hand_index = hand_index, .honba = honba, .deposits = 0};
  record_.scores = {25000, 25000, 25000, 25000};
  record_.dora_indicators = {tile(41)};
  // The walk never looks into the starting hands; any 13 tiles will do.
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    for (std::size_t i = 0; i < kStartingHandSize; ++i) {
      record_.seats[seat].hand[i] = tile(static_cast<int>(11 + 10 * (seat % 3) + i % 9));
    }
  }
}

HandBuilder& HandBuilder::seat(std::uint8_t seat, Entries takes, Entries discards) {
  return seat_lists(seat, std::vector<Entry>(takes), std::vector<Entry>(discards));
}

HandBuilder& HandBuilder::seat_lists(std::uint8_t seat, const std::vector<Entry>& takes,
                                     const std::vector<Entry>& discards) {
  auto& record = record_.seats.at(seat);
  record.takes.clear();
  record.discards.clear();
  for (const Entry& e : takes) record.takes.push_back(e.item);
  for (const Entry& e : discards) record.discards.push_back(e.item);
  return *this;
}

HandBuilder& HandBuilder::dora(std::initializer_list<int> codes) {
  record_.dora_indicators.clear();
  for (int code : codes) record_.dora_indicators.push_back(tile(code));
  return *this;
}

HandBuilder& HandBuilder::ura(std::initializer_list<int> codes) {
  record_.ura_indicators.clear();
  for (int code : codes) record_.ura_indicators.push_back(tile(code));
  return *this;
}

HandBuilder& HandBuilder::draw(Scores deltas) {
  result_ = Draw{.deltas = deltas};
  return *this;
}

HandBuilder& HandBuilder::win(std::uint8_t winner, std::uint8_t target, Scores deltas) {
  if (!result_ || !std::holds_alternative<std::vector<Win>>(*result_)) result_ = std::vector<Win>{};
  std::get<std::vector<Win>>(*result_).push_back(Win{.deltas = deltas, .winner = winner, .target = target});
  return *this;
}

std::expected<PreparedHand, ConversionError> HandBuilder::prepare(std::size_t position) const {
  PreparedHand hand;
  JsonHand record = record_;
  if (auto prepared = prepare_json_hand(std::move(record), position, hand); !prepared) {
    if (const auto* refused = std::get_if<PrepareError>(&prepared.error())) {
      throw std::invalid_argument("the hand's result list is refused: " + std::string(describe(*refused)));
    }
    return std::unexpected(std::get<ConversionError>(std::move(prepared.error())));
  }
  if (result_) hand.result = *result_;
  return hand;
}

PreparedHand HandBuilder::build(std::size_t position) const {
  auto hand = prepare(position);
  if (!hand) throw std::invalid_argument("the hand's entries do not decode: " + describe(hand.error()));
  return std::move(*hand);
}

ListedTestHand::ListedTestHand(HandBuilder builder) : builder_(std::move(builder)), hand_(builder_.build()) {
  conv::count_dahai(play(), counts_);
}

std::expected<TestLog, PrepareError> log_of(JsonLog&& log) {
  auto game = prepare_json_game(log);
  if (!game) return std::unexpected(game.error());
  TestLog test_log{.game = std::move(*game), .hands = {}};
  for (JsonHand& hand : log.log) test_log.hands.emplace_back(std::move(hand));
  return test_log;
}

TestLog log_of(std::vector<HandBuilder> hands) {
  return TestLog{.game = PreparedGame{.names = {"A", "B", "C", "D"}}, .hands = std::move(hands)};
}

std::expected<std::vector<Event>, ConversionError> convert_log(const TestLog& log, conv::ConversionStats* stats) {
  conv::Converter converter(log.game);
  std::vector<Event> events{converter.start_game()};
  std::expected<void, ConversionError> converted;
  for (std::size_t position = 0; converted && position < log.hands.size(); ++position) {
    auto hand = log.hands[position].prepare(position);
    converted = hand ? converter.convert_hand(*hand, events)
                     : std::expected<void, ConversionError>(std::unexpected(std::move(hand.error())));
  }
  if (stats != nullptr) *stats = converter.stats();
  if (!converted) return std::unexpected(std::move(converted.error()));
  events.push_back(event::EndGame{});
  return events;
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

}  // namespace kiroku::testing
