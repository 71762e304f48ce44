#include "kiroku/prepare/json_preparation.h"

#include <array>
#include <string_view>
#include <utility>

#include "kiroku/prepare/call_notation.h"
#include "kiroku/prepare/draw_labels.h"

namespace kiroku {

namespace {

// Rule texts are tested as bytes, so these are the UTF-8 forms.
constexpr std::string_view kThree = "\xE4\xB8\x89";  // 三
constexpr std::string_view kEast = "\xE6\x9D\xB1";   // 東

bool contains(std::string_view text, std::string_view pattern) noexcept {
  return text.find(pattern) != std::string_view::npos;
}

// A detail list's winner or target: a non-negative integer keeps its low
// eight bits; a negative or floating-point number counts as seat 0.
std::uint8_t seat_from_number(const JsonValue& value) noexcept {
  if (const auto* n = std::get_if<std::uint64_t>(&value.value)) return static_cast<std::uint8_t>(*n);
  return 0;
}

}  // namespace

std::expected<HandResult, PrepareError> reduce_hand_result(std::vector<ResultItem>&& items) {
  const auto* label = items.empty() ? nullptr : std::get_if<std::string>(&items.front());
  if (label == nullptr) return Draw{};
  if (*label != kWinLabel) {
    // Any other label is a draw of some kind: exhaustive, or an abort.
    const Scores* deltas = items.size() > 1 ? std::get_if<Scores>(&items[1]) : nullptr;
    return Draw{.deltas = deltas ? *deltas : Scores{}, .kind = draw_kind_of(*label)};
  }
  // After the win label come (score changes, detail list) pairs, one per
  // winner; an unpaired last item is ignored.
  std::vector<Win> wins;
  for (std::size_t i = 1; i + 1 < items.size(); i += 2) {
    const auto* deltas = std::get_if<Scores>(&items[i]);
    const auto* details = std::get_if<std::vector<JsonValue>>(&items[i + 1]);
    if (deltas == nullptr || details == nullptr) continue;
    if (details->size() < 2 || !(*details)[0].is_number() || !(*details)[1].is_number()) {
      return std::unexpected(PrepareError::InvalidWinEntry);
    }
    wins.push_back(Win{*deltas, seat_from_number((*details)[0]), seat_from_number((*details)[1])});
  }
  return wins;
}

std::expected<PreparedGame, PrepareError> prepare_json_game(JsonGame& log) {
  const std::string_view rule_text = log.rule.disp;
  if (contains(rule_text, kThree) || contains(rule_text, "3-Player")) {
    return std::unexpected(PrepareError::ThreePlayerGame);
  }
  const Rule& rule = log.rule;
  return PreparedGame{
      .names = std::move(log.name),
      .aka_flag = (rule.aka | rule.aka51 | rule.aka52 | rule.aka53) != 0,
      .kyoku_first = static_cast<std::uint8_t>(contains(rule_text, kEast) || contains(rule_text, "East") ? 4 : 0),
  };
}

std::expected<void, HandPreparationError> prepare_json_hand(JsonHand&& taken, std::size_t position, PreparedHand& out) {
  // Released on return: a hand's entries are read only here.
  JsonHand hand = std::move(taken);
  auto result = reduce_hand_result(std::move(hand.result));
  if (!result) return std::unexpected(result.error());
  out.position = position;
  out.id = hand.id;
  out.scores = hand.scores;
  out.dora_indicators = std::move(hand.dora_indicators);
  out.ura_indicators = std::move(hand.ura_indicators);
  out.result = std::move(*result);
  ListedPlay* play = std::get_if<ListedPlay>(&out.play);
  if (play == nullptr) play = &out.play.emplace<ListedPlay>();
  for (event::Seat seat = 0; seat < kSeatCount; ++seat) {
    const JsonSeat& record = hand.seats[seat];
    out.starting_hands[seat] = record.hand;
    if (auto decoded = decode_seat_lists(record, hand.id, seat, play->seats[seat]); !decoded) {
      decoded.error().hand_position = position;
      return std::unexpected(std::move(decoded.error()));
    }
  }
  return {};
}

}  // namespace kiroku
