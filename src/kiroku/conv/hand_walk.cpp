#include "kiroku/conv/hand_walk.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <variant>

#include "kiroku/conv/entry_kinds.h"
#include "kiroku/conv/hand_result.h"

namespace kiroku::conv {

namespace {

using event::Seat;

enum class StepEnd { Continue, HandOver };

// Events are appended built in place as their kind (std::in_place_type,
// std::in_place_index, append_entry): a temporary Event, or a copy of one,
// goes through the variant's tables of functions, which for these few
// bytes costs more than the copy itself.
class HandWalk {
 public:
  HandWalk(const PreparedHand& hand, const DecodedHand& decoded, CallAnswers& answers, std::vector<Event>& events)
      : hand_(hand), answers_(answers), events_(events) {
    state_.actor = static_cast<Seat>(hand.id.hand_index % kSeatCount);
    for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
      const SeatLists& lists = decoded.lists[seat];
      state_.takes[seat] = {lists.takes.data(), lists.takes.data() + lists.takes.size()};
      state_.discards[seat] = {lists.discards.data(), lists.discards.data() + lists.discards.size()};
      state_.takes_left += lists.takes.size();
      note_next_take(static_cast<Seat>(seat));
    }
    state_.remaining_dahai = decoded.dahai_counts;
  }

  std::expected<void, ConversionError> run() {
    if (hand_.dora_indicators.empty()) return std::unexpected(error(ConversionErrorKind::NoDoraMarker));
    events_.emplace_back(std::in_place_type<event::StartKyoku>, start_kyoku(hand_));
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
    events_.emplace_back(std::in_place_type<event::Dora>,
                         event::Dora{.dora_marker = hand_.dora_indicators[state_.dora_cursor++]});
    return {};
  }

  // The next take entry of the actor, or null when its list is read.  The
  // callers check it with take_fits; a plain pointer rather than an
  // std::expected keeps the error object off the path of every draw.
  const Event* read_take() {
    ListCursor& takes = state_.takes[state_.actor];
    if (takes.done()) return nullptr;
    const Event* entry = takes.next++;
    --state_.takes_left;
    note_next_take(state_.actor);
    return entry;
  }

  // Whether what read_take gave may be the actor's move: an entry, which if
  // it is a call must fit the last discard.  take_failure says why not.
  bool take_fits(const Event* entry) const {
    if (entry == nullptr) return false;
    if (!is_call(*entry)) return true;
    const auto claim = call_claim(*entry);
    return !claim || fits_last_discard(*claim);
  }

  ConversionError take_failure(const Event* entry) const {
    if (entry == nullptr) return error(ConversionErrorKind::TakesExhausted, state_.actor);
    return mismatched_call(*entry);
  }

  std::expected<void, ConversionError> take_step() {
    const Event* entry = read_take();
    if (!take_fits(entry)) return std::unexpected(take_failure(entry));
    // The declaration stands once the next player has moved without winning
    // on the riichi tile; the flag is settled by the next discard step.
    if (state_.reach_pending) {
      events_.emplace_back(std::in_place_type<event::ReachAccepted>,
                           event::ReachAccepted{.actor = state_.previous_discarder});
    }

    const std::size_t kind = entry->index();
    if (kind == kTsumo) {
      if (state_.dora_before_draw) {
        if (auto dora = new_dora(); !dora) return dora;
        state_.dora_before_draw = false;
      }
      events_.emplace_back(std::in_place_index<kTsumo>, *std::get_if<kTsumo>(entry));
      return {};
    }
    if (kind != kDaiminkan) {
      append_entry(events_, *entry);
      return {};
    }
    // A kan on a discard while an earlier kan's dora is still due: that one
    // is revealed first; the new kan's own comes before the next discard.
    if (state_.dora_after_discard) {
      if (auto dora = new_dora(); !dora) return dora;
    }
    append_entry(events_, *entry);
    return replacement_draw();
  }

  // After a daiminkan the caller draws from the dead wall at once.
  std::expected<void, ConversionError> replacement_draw() {
    for (;;) {
      const Event* entry = read_take();
      if (!take_fits(entry)) return std::unexpected(take_failure(entry));
      if (entry->index() == kDaiminkan) {
        if (auto dora = new_dora(); !dora) return dora;
        append_entry(events_, *entry);
        continue;
      }
      state_.dora_after_discard = true;
      if (entry->index() == kTsumo && state_.dora_before_draw) {
        if (auto dora = new_dora(); !dora) return dora;
        state_.dora_before_draw = false;
      }
      append_entry(events_, *entry);
      return {};
    }
  }

  void walk_dahai(const event::Dahai& dahai) {
    state_.last_tile = dahai.pai;
    --state_.remaining_dahai[state_.actor][dahai.pai.index()];
  }

  // Most discard entries are a "dahai": copied here without a switch.
  void append_discard(const Event& entry) {
    if (const auto* dahai = std::get_if<kDahai>(&entry)) {
      events_.emplace_back(std::in_place_index<kDahai>, *dahai);
    } else {
      append_entry(events_, entry);
    }
  }

  std::expected<StepEnd, ConversionError> discard_step() {
    ListCursor& discards = state_.discards[state_.actor];
    if (discards.done()) return hand_over();

    const Event& entry = *discards.next++;
    const std::size_t kind = entry.index();
    if (kind == kDahai) walk_dahai(*std::get_if<kDahai>(&entry));
    const bool is_kakan = kind == kKakan;
    const bool is_ankan = kind == kAnkan;
    if (state_.dora_after_discard) {
      if (kind == kDahai || is_ankan) {
        if (auto dora = new_dora(); !dora) return std::unexpected(std::move(dora.error()));
        state_.dora_after_discard = false;
      } else if (is_kakan) {
        // The earlier kan's dora now waits for the replacement draw.
        state_.dora_before_draw = true;
      }
      // A riichi declaration leaves it due; its discard does not check.
    }
    append_discard(entry);

    if (kind == kReach) {
      if (discards.done()) return std::unexpected(error(ConversionErrorKind::ReachWithoutDahai, state_.actor));
      const Event& declared = *discards.next++;
      if (declared.index() == kDahai) walk_dahai(*std::get_if<kDahai>(&declared));
      append_discard(declared);
      state_.reach_pending = true;
    } else {
      state_.reach_pending = false;
    }

    // Nobody takes anything more: the discard was won on, or the wall is
    // empty.  A riichi just declared is then never accepted.
    if (state_.takes_left == 0) return hand_over();

    if (is_kakan) {
      // Revealed after the replacement draw, unless the kakan is robbed.
      state_.dora_after_discard = true;
      return StepEnd::Continue;
    }
    if (is_ankan) {
      if (auto dora = new_dora(); !dora) return std::unexpected(std::move(dora.error()));
      return StepEnd::Continue;
    }
    const Seat next = next_actor();
    state_.discard_seen = true;
    state_.previous_discarder = state_.actor;
    state_.actor = next;
    return StepEnd::Continue;
  }

  // Keeps the seat's bit of calls_waiting in step with its next take entry.
  void note_next_take(Seat seat) {
    const ListCursor& takes = state_.takes[seat];
    const auto bit = static_cast<std::uint8_t>(1U << seat);
    if (!takes.done() && is_call(*takes.next)) {
      state_.calls_waiting |= bit;
    } else {
      state_.calls_waiting &= static_cast<std::uint8_t>(~bit);
    }
  }

  // Most discards are claimed by nobody: with no call waiting at the head of
  // another seat's take list, resolve_caller names the seat after the
  // discarder without asking `answers_`, and building the situation for it
  // can be spared.
  Seat next_actor() {
    if ((state_.calls_waiting & ~(1U << state_.actor)) != 0) return resolve_caller(situation(), answers_);
    return static_cast<Seat>((state_.actor + 1) % kSeatCount);
  }

  CallSituation situation() const {
    const Seat discarder = state_.actor;
    CallSituation s;
    s.discarder = discarder;
    s.last_tile = state_.last_tile;
    for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
      const ListCursor& takes = state_.takes[seat];
      s.next_takes[seat] = takes.done() ? nullptr : takes.next;
    }
    s.discards_left = !state_.discards[discarder].done();
    s.same_tile_left = state_.remaining_dahai[discarder][state_.last_tile.index()];
    return s;
  }

  // A hand is over only with all eight lists read: anything left over means
  // a guess at an ambiguous call went wrong (or the log is broken), and
  // ending here would silently drop part of the game.
  std::expected<StepEnd, ConversionError> hand_over() const {
    for (Seat seat = 0; seat < kSeatCount; ++seat) {
      if (!state_.takes[seat].done() || !state_.discards[seat].done()) {
        return std::unexpected(error(ConversionErrorKind::UnreadEntries, seat));
      }
    }
    return StepEnd::HandOver;
  }

  const PreparedHand& hand_;
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
      if (const auto* dahai = std::get_if<kDahai>(&entry)) ++counts[dahai->pai.index()];
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
