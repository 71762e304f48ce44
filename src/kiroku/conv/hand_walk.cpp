#include "kiroku/conv/hand_walk.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <variant>

#include "kiroku/conv/hand_result.h"

namespace kiroku::conv {

namespace {

using event::Seat;
using Kind = ListEntry::Kind;

enum class StepEnd { Continue, HandOver };

// The unread part of one list.
struct ListCursor {
  const ListEntry* next = nullptr;
  const ListEntry* end = nullptr;
  bool done() const noexcept { return next == end; }
};

// The state of one attempt, fresh at its start.
struct HandWalkState {
  Seat actor = 0;  // whose turn it is
  // The unread entries of each seat's lists; the count of all unread take
  // entries; and bit s set when seat s's next take entry is a call.
  std::array<ListCursor, kSeatCount> takes{};
  std::array<ListCursor, kSeatCount> discards{};
  std::size_t takes_left = 0;
  std::uint8_t calls_waiting = 0;
  Tile last_tile;                       // of the last walked "dahai"
  Seat previous_discarder = 0;          // of the last discard that asked who moves next
  bool discard_seen = false;            // whether such a discard has happened
  std::optional<Seat> riichi_declarer;  // of a riichi not accepted yet
  bool dora_after_discard = false;      // a kan's dora is due before the next "dahai" or "ankan"
  bool dora_before_draw = false;        // a kan's dora is due before the next "tsumo"
  std::size_t dora_cursor = 1;          // next indicator for a "dora" event
  DahaiCounts remaining_dahai{};        // "dahai" of each seat and tile not yet walked
};

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
    settle_riichi(true);
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

  ConversionError mismatched_call(const ListEntry& call) const {
    ConversionError e = error(ConversionErrorKind::MismatchedCall, state_.actor);
    std::vector<Event> events;
    append_events(events, call, state_.actor);
    e.call = std::move(events.front());
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

  // A riichi declaration stands, its stick on the table, once the next
  // player has moved without winning on the riichi tile: called before each
  // take.  At the hand's end (`at_hand_end`), the declaration just made
  // stands only if it was the fourth riichi: that draw ends the hand with no
  // one moving, yet Tenhou takes the stick and carries it into the next
  // hand.  A riichi tile won on stays unaccepted.
  void settle_riichi(bool at_hand_end) {
    if (!state_.riichi_declarer) return;
    if (at_hand_end) {
      const auto* draw = std::get_if<Draw>(&hand_.result);
      if (draw == nullptr || !draw->four_riichi) return;
    }
    events_.emplace_back(std::in_place_type<event::ReachAccepted>,
                         event::ReachAccepted{.actor = *state_.riichi_declarer});
    state_.riichi_declarer.reset();
  }

  // Calls, kans and riichi declarations.  Draws and plain discards, nine
  // entries in ten, are written where the walk has told them apart already:
  // through append_events' switch, a call and an indirect jump each, they
  // made the convert stage of `make bench` measurably slower.
  void append(const ListEntry& entry) { append_events(events_, entry, state_.actor); }

  // The next take entry of the actor, or null when its list is read.  The
  // callers check it with take_fits; a plain pointer rather than an
  // std::expected keeps the error object off the path of every draw.
  const ListEntry* read_take() {
    ListCursor& takes = state_.takes[state_.actor];
    if (takes.done()) return nullptr;
    const ListEntry* entry = takes.next++;
    --state_.takes_left;
    note_next_take(state_.actor);
    return entry;
  }

  // Whether what read_take gave may be the actor's move: an entry, which if
  // it is a call must fit the last discard.  take_failure says why not.
  bool take_fits(const ListEntry* entry) const {
    if (entry == nullptr) return false;
    const auto claim = call_claim(*entry);
    return !claim || fits_last_discard(*claim);
  }

  ConversionError take_failure(const ListEntry* entry) const {
    if (entry == nullptr) return error(ConversionErrorKind::TakesExhausted, state_.actor);
    return mismatched_call(*entry);
  }

  std::expected<void, ConversionError> take_step() {
    const ListEntry* entry = read_take();
    if (!take_fits(entry)) return std::unexpected(take_failure(entry));
    settle_riichi(false);

    if (entry->kind == Kind::Tsumo) {
      if (state_.dora_before_draw) {
        if (auto dora = new_dora(); !dora) return dora;
        state_.dora_before_draw = false;
      }
      events_.emplace_back(std::in_place_type<event::Tsumo>, event::Tsumo{.actor = state_.actor, .pai = entry->pai});
      return {};
    }
    if (entry->kind != Kind::Daiminkan) {
      append(*entry);
      return {};
    }
    // A kan on a discard while an earlier kan's dora is still due: that one
    // is revealed first; the new kan's own comes before the next discard.
    if (state_.dora_after_discard) {
      if (auto dora = new_dora(); !dora) return dora;
    }
    append(*entry);
    return replacement_draw();
  }

  // After a daiminkan the caller draws from the dead wall at once.
  std::expected<void, ConversionError> replacement_draw() {
    for (;;) {
      const ListEntry* entry = read_take();
      if (!take_fits(entry)) return std::unexpected(take_failure(entry));
      if (entry->kind == Kind::Daiminkan) {
        if (auto dora = new_dora(); !dora) return dora;
        append(*entry);
        continue;
      }
      state_.dora_after_discard = true;
      if (entry->kind == Kind::Tsumo && state_.dora_before_draw) {
        if (auto dora = new_dora(); !dora) return dora;
        state_.dora_before_draw = false;
      }
      append(*entry);
      return {};
    }
  }

  std::expected<StepEnd, ConversionError> discard_step() {
    ListCursor& discards = state_.discards[state_.actor];
    if (discards.done()) return hand_over();

    const ListEntry& entry = *discards.next++;
    const bool is_dahai = entry.kind == Kind::Dahai;
    if (state_.dora_after_discard) {
      // A discard that declares riichi leaves it due for the next one.
      if ((is_dahai && !entry.riichi) || entry.kind == Kind::Ankan) {
        if (auto dora = new_dora(); !dora) return std::unexpected(std::move(dora.error()));
        state_.dora_after_discard = false;
      } else if (entry.kind == Kind::Kakan) {
        // The earlier kan's dora now waits for the replacement draw.
        state_.dora_before_draw = true;
      }
    }
    if (is_dahai && !entry.riichi) {
      events_.emplace_back(std::in_place_type<event::Dahai>,
                           event::Dahai{.actor = state_.actor, .pai = entry.pai, .tsumogiri = entry.tsumogiri});
    } else {
      append(entry);
    }
    if (is_dahai) {
      state_.last_tile = entry.pai;
      --state_.remaining_dahai[state_.actor][entry.pai.index()];
    }
    if (is_dahai && entry.riichi) state_.riichi_declarer = state_.actor;

    // Nobody takes anything more: the discard was won on, the wall is empty,
    // or the discard aborted the hand.
    if (state_.takes_left == 0) return hand_over();

    if (entry.kind == Kind::Kakan) {
      // Revealed after the replacement draw, unless the kakan is robbed.
      state_.dora_after_discard = true;
      return StepEnd::Continue;
    }
    if (entry.kind == Kind::Ankan) {
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
    for (const ListEntry& entry : decoded.lists[seat].discards) {
      if (entry.kind == Kind::Dahai) ++counts[entry.pai.index()];
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
