#include "kiroku/conv/order_finding.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "kiroku/conv/hand_search.h"
#include "kiroku/conv/hand_writer.h"

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
  Tile last_tile;                 // of the last walked "dahai"
  Seat previous_discarder = 0;    // of the last discard that asked who moves next
  bool discard_seen = false;      // whether such a discard has happened
  DahaiCounts remaining_dahai{};  // "dahai" of each seat and tile not yet walked
};

// The call an entry of `actor`'s take list stands for; for MismatchedCall.
Event call_event(const ListEntry& call, Seat actor) {
  const auto& c = call.consumed;
  switch (call.kind) {
    case Kind::Chi: return event::Chi{.actor = actor, .target = call.target, .pai = call.pai, .consumed = {c[0], c[1]}};
    case Kind::Pon: return event::Pon{.actor = actor, .target = call.target, .pai = call.pai, .consumed = {c[0], c[1]}};
    default: return event::Daiminkan{.actor = actor, .target = call.target, .pai = call.pai, .consumed = c};
  }
}

class HandWalk {
 public:
  HandWalk(const ListedHand& listed, CallAnswers& answers, std::vector<Event>& events)
      : hand_(listed.hand), answers_(answers), writer_(listed.hand, events) {
    state_.actor = static_cast<Seat>(hand_.id.hand_index % kSeatCount);
    for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
      const SeatLists& lists = listed.play.seats[seat];
      state_.takes[seat] = {lists.takes.data(), lists.takes.data() + lists.takes.size()};
      state_.discards[seat] = {lists.discards.data(), lists.discards.data() + lists.discards.size()};
      state_.takes_left += lists.takes.size();
      note_next_take(static_cast<Seat>(seat));
    }
    state_.remaining_dahai = listed.dahai_counts;
  }

  std::expected<void, ConversionError> run() {
    if (auto started = writer_.start(); !started) return started;
    for (;;) {
      // Every round reads at least one take entry, so the walk ends.
      if (auto taken = take_step(); !taken) return std::unexpected(std::move(taken.error()));
      auto end = discard_step();
      if (!end) return std::unexpected(std::move(end.error()));
      if (*end == StepEnd::HandOver) break;
    }
    return writer_.finish();
  }

 private:
  ConversionError error(ConversionErrorKind kind, std::optional<Seat> seat = std::nullopt) const {
    return ConversionError::of(kind, hand_.id, seat);
  }

  ConversionError call_failure(const ListEntry& call) const {
    std::optional<LastDiscard> last;
    if (state_.discard_seen) last = LastDiscard{state_.previous_discarder, state_.last_tile};
    return mismatched_call(hand_.id, state_.actor, call_event(call, state_.actor), last);
  }

  // A call must claim the last discarded tile from the seat that threw it.
  // Before any discard there is nobody to claim from, and only the tile is
  // compared (with the placeholder the walk starts with).
  bool fits_last_discard(const CallClaim& claim) const {
    if (claim.pai != state_.last_tile) return false;
    if (!state_.discard_seen) return true;
    return state_.previous_discarder != state_.actor && claim.target == state_.previous_discarder;
  }

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
    return call_failure(*entry);
  }

  // Tells the writer the take `entry` of the actor; the list holds takes only.
  std::expected<void, ConversionError> write_take(const ListEntry& entry) {
    const Seat actor = state_.actor;
    const auto& c = entry.consumed;
    switch (entry.kind) {
      case Kind::Chi:
        return writer_.chi({.actor = actor, .target = entry.target, .pai = entry.pai, .consumed = {c[0], c[1]}});
      case Kind::Pon:
        return writer_.pon({.actor = actor, .target = entry.target, .pai = entry.pai, .consumed = {c[0], c[1]}});
      case Kind::Daiminkan:
        return writer_.daiminkan({.actor = actor, .target = entry.target, .pai = entry.pai, .consumed = c});
      default: return writer_.tsumo({.actor = actor, .pai = entry.pai});
    }
  }

  std::expected<void, ConversionError> take_step() {
    const ListEntry* entry = read_take();
    if (!take_fits(entry)) return std::unexpected(take_failure(entry));
    if (entry->kind == Kind::Tsumo) return writer_.tsumo({.actor = state_.actor, .pai = entry->pai});
    if (auto written = write_take(*entry); !written) return written;
    // After a daiminkan the caller draws from the dead wall at once (or
    // calls another kan in its place).
    while (entry->kind == Kind::Daiminkan) {
      entry = read_take();
      if (!take_fits(entry)) return std::unexpected(take_failure(entry));
      if (auto written = write_take(*entry); !written) return written;
    }
    return {};
  }

  // Tells the writer the discard step `entry` of the actor; the list holds
  // discard steps only.
  std::expected<void, ConversionError> write_discard(const ListEntry& entry) {
    const Seat actor = state_.actor;
    const auto& c = entry.consumed;
    switch (entry.kind) {
      case Kind::Kakan: return writer_.kakan({.actor = actor, .pai = entry.pai, .consumed = c});
      case Kind::Ankan: return writer_.ankan({.actor = actor, .consumed = {c[0], c[1], c[2], entry.pai}});
      default: break;
    }
    // Built at each call: a Dahai in memory that writer_.riichi could see
    // would make writer_.dahai read its bytes back, a stall on every discard.
    if (entry.riichi) {
      return writer_.riichi({.actor = actor}, {.actor = actor, .pai = entry.pai, .tsumogiri = entry.tsumogiri});
    }
    return writer_.dahai({.actor = actor, .pai = entry.pai, .tsumogiri = entry.tsumogiri});
  }

  std::expected<StepEnd, ConversionError> discard_step() {
    ListCursor& discards = state_.discards[state_.actor];
    if (discards.done()) return hand_over();

    const ListEntry& entry = *discards.next++;
    if (auto written = write_discard(entry); !written) return std::unexpected(std::move(written.error()));

    // Nobody takes anything more: the discard was won on, the wall is empty,
    // or the discard aborted the hand.
    if (state_.takes_left == 0) return hand_over();

    // A kan: the same seat takes its replacement draw next.
    if (entry.kind != Kind::Dahai) return StepEnd::Continue;
    state_.last_tile = entry.pai;
    --state_.remaining_dahai[state_.actor][entry.pai.index()];
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
  HandWriter writer_;
  HandWalkState state_;
};

}  // namespace

void count_dahai(const ListedPlay& play, DahaiCounts& counts) {
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
    auto& seat_counts = counts[seat];
    seat_counts.fill(0);
    for (const ListEntry& entry : play.seats[seat].discards) {
      if (entry.kind == Kind::Dahai) ++seat_counts[entry.pai.index()];
    }
  }
}

std::size_t attempt_bound(const ListedPlay& play) noexcept {
  std::size_t entries = 0;
  for (const SeatLists& seat : play.seats) entries += seat.takes.size() + seat.discards.size();
  return std::clamp<std::size_t>(kMaxEntriesWalked / std::max<std::size_t>(entries, 1), 1, kMaxAttempts);
}

std::expected<void, ConversionError> walk_hand(const ListedHand& hand, CallAnswers& answers,
                                               std::vector<Event>& events) {
  const std::size_t start = events.size();
  auto walked = HandWalk(hand, answers, events).run();
  if (!walked) events.erase(events.begin() + static_cast<std::ptrdiff_t>(start), events.end());
  return walked;
}

std::expected<void, ConversionError> OrderFinding::convert_hand(const PreparedHand& hand, const ListedPlay& play,
                                                                std::vector<Event>& events, ConversionStats& stats) {
  count_dahai(play, dahai_counts_);
  const ListedHand listed{hand, play, dahai_counts_};
  const std::size_t bound = attempt_bound(play);
  CallMemory memory;
  seen_memories_.clear();
  std::optional<ConversionError> first_error;
  for (std::size_t attempts = 1;; ++attempts) {
    auto walked = walk_hand(listed, memory, events);
    if (attempts == 2) ++stats.hands_retried;
    if (walked) return {};
    if (!first_error) first_error = std::move(walked.error());
    // An attempt is fixed by the memory it starts from, so a repeated start
    // would only repeat a cycle of failures.
    if (memory.empty() || attempts == bound || !seen_memories_.insert(memory.key()).second) break;
  }

  if (memory.choices() > 0) {
    ++stats.hands_searched;
    if (search_hand(listed, events, bound).found) return {};
  }
  return std::unexpected(std::move(*first_error));
}

}  // namespace kiroku::conv
