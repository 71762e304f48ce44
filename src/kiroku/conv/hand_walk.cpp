#include "kiroku/conv/hand_walk.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <variant>

#include "kiroku/conv/hand_result.h"

namespace kiroku::conv {

namespace {

using event::Seat;

enum class StepEnd { Continue, HandOver };

class HandWalk {
 public:
  HandWalk(const PreparedHand& hand, const DecodedHand& decoded, CallAnswers& answers, std::vector<Event>& events)
      : hand_(hand), lists_(decoded.lists), answers_(answers), events_(events) {
    state_.actor = static_cast<Seat>(hand.id.hand_index % kSeatCount);
    state_.remaining_dahai = decoded.dahai_counts;
  }

  std::expected<void, ConversionError> run() {
    if (hand_.dora_indicators.empty()) return std::unexpected(error(ConversionErrorKind::NoDoraMarker));
    events_.push_back(start_kyoku(hand_));
    for (;;) {
      // Every round reads at least one take entry, so the walk ends.
      if (auto taken = take_step(); !taken) return std::unexpected(std::move(taken.error()));
      auto end = discard_step();
      if (!end) return std::unexpected(std::move(end.error()));
      if (*end == StepEnd::HandOver) break;
    }
    emit_hand_result(hand_, events_);
    return {};
  }

 private:
  ConversionError error(ConversionErrorKind kind, std::optional<Seat> seat = std::nullopt) const {
    ConversionError e;
    e.kind = kind;
    e.hand = hand_.id;
    e.seat = seat;
    return e;
  }

  ConversionError mismatched_call(const Event& call) const {
    ConversionError e = error(ConversionErrorKind::MismatchedCall, state_.actor);
    e.call = call;
    e.discard_seen = state_.discard_seen;
    e.previous_discarder = state_.previous_discarder;
    e.last_tile = state_.last_tile;
    return e;
  }

  // A call must claim the last discarded tile from the seat that threw it.
  // Before any discard there is nobody to claim from, and only the tile is
  // compared (with the placeholder the walk starts with).
  bool fits_last_discard(const CallClaim& claim) const {
    if (claim.pai != state_.last_tile) return false;
    if (!state_.discard_seen) return true;
    return state_.previous_discarder != state_.actor && claim.target == state_.previous_discarder;
  }

  std::expected<void, ConversionError> new_dora() {
    if (state_.dora_cursor >= hand_.dora_indicators.size()) {
      return std::unexpected(error(ConversionErrorKind::NoDoraMarker));
    }
    events_.push_back(event::Dora{.dora_marker = hand_.dora_indicators[state_.dora_cursor++]});
    return {};
  }

  // The next take entry of the actor, checked against the last discard when
  // it is a call.
  std::expected<const Event*, ConversionError> next_take() {
    const auto& takes = lists_[state_.actor].takes;
    std::size_t& position = state_.take_position[state_.actor];
    if (position == takes.size()) return std::unexpected(error(ConversionErrorKind::TakesExhausted, state_.actor));
    const Event& entry = takes[position++];
    if (const auto claim = call_claim(entry); claim && !fits_last_discard(*claim)) {
      return std::unexpected(mismatched_call(entry));
    }
    return &entry;
  }

  std::expected<void, ConversionError> take_step() {
    auto entry = next_take();
    if (!entry) return std::unexpected(std::move(entry.error()));
    // The declaration stands once the next player has moved without winning
    // on the riichi tile; the flag is settled by the next discard step.
    if (state_.reach_pending) events_.push_back(event::ReachAccepted{.actor = state_.previous_discarder});

    if (std::holds_alternative<event::Tsumo>(**entry)) {
      if (state_.dora_before_draw) {
        if (auto dora = new_dora(); !dora) return dora;
        state_.dora_before_draw = false;
      }
      events_.push_back(**entry);
      return {};
    }
    if (!std::holds_alternative<event::Daiminkan>(**entry)) {
      events_.push_back(**entry);
      return {};
    }
    // A kan on a discard while an earlier kan's dora is still due: that one
    // is revealed first; the new kan's own comes before the next discard.
    if (state_.dora_after_discard) {
      if (auto dora = new_dora(); !dora) return dora;
    }
    events_.push_back(**entry);
    return replacement_draw();
  }

  // After a daiminkan the caller draws from the dead wall at once.
  std::expected<void, ConversionError> replacement_draw() {
    for (;;) {
      auto entry = next_take();
      if (!entry) return std::unexpected(std::move(entry.error()));
      if (std::holds_alternative<event::Daiminkan>(**entry)) {
        if (auto dora = new_dora(); !dora) return dora;
        events_.push_back(**entry);
        continue;
      }
      state_.dora_after_discard = true;
      if (std::holds_alternative<event::Tsumo>(**entry) && state_.dora_before_draw) {
        if (auto dora = new_dora(); !dora) return dora;
        state_.dora_before_draw = false;
      }
      events_.push_back(**entry);
      return {};
    }
  }

  void walk_dahai(const Event& entry) {
    if (const auto* dahai = std::get_if<event::Dahai>(&entry)) {
      state_.last_tile = dahai->pai;
      --state_.remaining_dahai[state_.actor][dahai->pai.index()];
    }
  }

  std::expected<StepEnd, ConversionError> discard_step() {
    const auto& discards = lists_[state_.actor].discards;
    std::size_t& position = state_.discard_position[state_.actor];
    if (position == discards.size()) return hand_over();

    const Event& entry = discards[position++];
    walk_dahai(entry);
    const bool is_kakan = std::holds_alternative<event::Kakan>(entry);
    const bool is_ankan = std::holds_alternative<event::Ankan>(entry);
    if (state_.dora_after_discard) {
      if (std::holds_alternative<event::Dahai>(entry) || is_ankan) {
        if (auto dora = new_dora(); !dora) return std::unexpected(std::move(dora.error()));
        state_.dora_after_discard = false;
      } else if (is_kakan) {
        // The earlier kan's dora now waits for the replacement draw.
        state_.dora_before_draw = true;
      }
      // A riichi declaration leaves it due; its discard does not check.
    }
    events_.push_back(entry);

    if (std::holds_alternative<event::Reach>(entry)) {
      if (position == discards.size()) {
        return std::unexpected(error(ConversionErrorKind::ReachWithoutDahai, state_.actor));
      }
      const Event& declared = discards[position++];
      walk_dahai(declared);
      events_.push_back(declared);
      state_.reach_pending = true;
    } else {
      state_.reach_pending = false;
    }

    // Nobody takes anything more: the discard was won on, or the wall is
    // empty.  A riichi just declared is then never accepted.
    if (all_takes_read()) return hand_over();

    if (is_kakan) {
      // Revealed after the replacement draw, unless the kakan is robbed.
      state_.dora_after_discard = true;
      return StepEnd::Continue;
    }
    if (is_ankan) {
      if (auto dora = new_dora(); !dora) return std::unexpected(std::move(dora.error()));
      return StepEnd::Continue;
    }
    const Seat next = resolve_caller(situation(), answers_);
    state_.discard_seen = true;
    state_.previous_discarder = state_.actor;
    state_.actor = next;
    return StepEnd::Continue;
  }

  bool all_takes_read() const {
    for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
      if (state_.take_position[seat] != lists_[seat].takes.size()) return false;
    }
    return true;
  }

  CallSituation situation() const {
    const Seat discarder = state_.actor;
    CallSituation s;
    s.discarder = discarder;
    s.last_tile = state_.last_tile;
    for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
      const auto& takes = lists_[seat].takes;
      const std::size_t position = state_.take_position[seat];
      s.next_takes[seat] = position < takes.size() ? &takes[position] : nullptr;
    }
    s.discards_left = state_.discard_position[discarder] < lists_[discarder].discards.size();
    s.same_tile_left = state_.remaining_dahai[discarder][state_.last_tile.index()];
    return s;
  }

  // A hand is over only with all eight lists read: anything left over means
  // a guess at an ambiguous call went wrong (or the log is broken), and
  // ending here would silently drop part of the game.
  std::expected<StepEnd, ConversionError> hand_over() const {
    for (Seat seat = 0; seat < kSeatCount; ++seat) {
      if (state_.take_position[seat] != lists_[seat].takes.size() ||
          state_.discard_position[seat] != lists_[seat].discards.size()) {
        return std::unexpected(error(ConversionErrorKind::UnreadEntries, seat));
      }
    }
    return StepEnd::HandOver;
  }

  const PreparedHand& hand_;
  const HandLists& lists_;
  CallAnswers& answers_;
  std::vector<Event>& events_;
  HandWalkState state_;
};

}  // namespace

void count_dahai(DecodedHand& decoded) {
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    auto& counts = decoded.dahai_counts[seat];
    counts.fill(0);
    for (const Event& entry : decoded.lists[seat].discards) {
      if (const auto* dahai = std::get_if<event::Dahai>(&entry)) ++counts[dahai->pai.index()];
    }
  }
}

std::size_t attempt_bound(const DecodedHand& decoded) noexcept {
  std::size_t entries = 0;
  for (const SeatLists& seat : decoded.lists) entries += seat.takes.size() + seat.discards.size();
  return std::clamp<std::size_t>(kMaxEntriesWalked / std::max<std::size_t>(entries, 1), 1, kMaxAttempts);
}

event::StartKyoku start_kyoku(const PreparedHand& hand) {
  const std::uint8_t index = hand.id.hand_index;
  constexpr std::uint8_t kEast = 27;  // the winds follow in order: E, S, W, N
  event::StartKyoku start;
  start.bakaze = *Tile::from_index(static_cast<std::uint8_t>(kEast + std::min(index / 4, 3)));
  start.dora_marker = hand.dora_indicators.front();
  start.kyoku = static_cast<std::uint8_t>(index % 4 + 1);
  start.honba = hand.id.honba;
  start.kyotaku = hand.id.deposits;
  start.oya = static_cast<std::uint8_t>(index % 4);
  start.scores = hand.scores;
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) start.tehais[seat] = hand.seats[seat].hand;
  return start;
}

std::expected<void, ConversionError> walk_hand(const PreparedHand& hand, const DecodedHand& decoded,
                                               CallAnswers& answers, std::vector<Event>& events) {
  const std::size_t start = events.size();
  auto walked = HandWalk(hand, decoded, answers, events).run();
  if (!walked) events.erase(events.begin() + static_cast<std::ptrdiff_t>(start), events.end());
  return walked;
}

}  // namespace kiroku::conv
