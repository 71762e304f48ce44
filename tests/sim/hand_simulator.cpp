#include "sim/hand_simulator.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "sim/hand_scoring.h"
#include "sim/log_notation.h"
#include "sim/sim_tiles.h"
#include "sim/wall.h"

namespace kiroku::sim::detail {

namespace {

using event::Seat;

constexpr int kMaxKans = 4;

std::size_t seat_after(std::size_t seat, std::size_t step = 1) { return (seat + step) % 4; }

enum class MeldKind : std::uint8_t { Chi, Pon, Daiminkan, Kakan, Ankan };

struct Meld {
  MeldKind kind = MeldKind::Chi;
  std::uint8_t tile_kind = 0;
  std::array<Tile, 3> pon_fields{};  // a pon's tiles in the order its text lists them
  std::string pon_text;
};

struct Player {
  std::vector<Tile> hand;  // concealed tiles; right after a draw the drawn tile is last
  std::vector<Meld> melds;
  bool riichi = false;
  std::size_t takes = 0;  // entries of the take list so far
  int sticks = 0;         // riichi sticks put down this hand

  bool closed() const {
    return std::all_of(melds.begin(), melds.end(), [](const Meld& m) { return m.kind == MeldKind::Ankan; });
  }
  int count_kind(std::uint8_t kind) const {
    return static_cast<int>(std::count_if(hand.begin(), hand.end(), [&](Tile t) { return kind_of(t) == kind; }));
  }
  bool holds(Tile tile) const { return std::find(hand.begin(), hand.end(), tile) != hand.end(); }
  void remove(Tile tile) { hand.erase(std::find(hand.begin(), hand.end(), tile)); }

  // Takes `count` random tiles of a kind out of the hand, in sorted order.
  std::vector<Tile> take_kind(std::uint8_t kind, int count, Rng& rng) {
    std::vector<Tile> pool;
    for (Tile t : hand) {
      if (kind_of(t) == kind) pool.push_back(t);
    }
    rng.shuffle(pool);
    pool.resize(static_cast<std::size_t>(count));
    std::sort(pool.begin(), pool.end(), [](Tile a, Tile b) { return sort_key(a) < sort_key(b); });
    for (Tile t : pool) remove(t);
    return pool;
  }
};

// A rigged pair of seats: `discarder` holds two copies of `tile` and lets
// both go, `caller` holds a pair of the tile's kind and calls one of them.
// Unless `call_at_once`, the caller lets the first copy pass and calls a
// later one that comes before it has taken anything else, so that in the log
// its pon could just as well belong to the first copy.
struct Trap {
  std::size_t discarder = 0;
  std::size_t caller = 0;
  Tile tile;
  std::uint8_t pair_kind = 0;  // the discarder's pair that the next seat feeds it
  bool call_at_once = false;
  bool waiting = true;                      // the caller has not called the tile yet
  int discarded = 0;                        // copies let go so far
  std::size_t caller_takes_at_discard = 0;  // the caller's take count at the last copy
  bool window = false;                      // the caller took nothing between the last two copies
};

class HandSimulator {
 public:
  HandSimulator(Rng& rng, const SimSettings& settings, const HandSetup& setup)
      : rng_(rng), settings_(settings), setup_(setup), dealer_(setup.id.hand_index % 4), wall_(rng) {}

  HandOutcome run();

 private:
  enum class Next : std::uint8_t { Draw, Rinshan, DiscardAfterCall, AfterDiscard, Over };

  void rig();
  void deal();

  Next draw(std::size_t seat, bool rinshan);
  Next act_after_draw(std::size_t seat);
  Next declare_kakan(std::size_t seat, std::size_t meld_index);
  Next declare_ankan(std::size_t seat, std::uint8_t kind);
  void discard(std::size_t seat, Tile tile, bool tsumogiri, bool riichi);
  Next after_discard(std::size_t& actor);
  Next call_pon(std::size_t caller, std::size_t from, Tile called);
  Next call_daiminkan(std::size_t caller, std::size_t from, Tile called);
  Next call_chi(std::size_t caller, std::size_t from, Tile called, std::array<std::uint8_t, 2> kinds);

  std::pair<Tile, bool> choose_discard(std::size_t seat, bool after_draw);
  std::optional<Tile> trap_discard(std::size_t seat);
  std::optional<Tile> feed_tile(std::size_t seat, std::size_t own_end);
  bool is_protected(std::size_t seat, Tile tile) const;
  bool in_trap(std::size_t seat) const;
  bool caller_waits(const Trap& trap) const;
  double call_chance(std::size_t seat) const;
  double ramp() const;
  std::int32_t score(std::size_t seat) const { return setup_.scores[seat] - kRiichiStick * players_[seat].sticks; }

  void reveal_pending_indicators();
  void write_dora_event();
  void write_due_doras();

  Next win(const std::vector<std::size_t>& winners, std::size_t target);
  Next exhaustive_draw();
  Next abortive_draw(const char* label);
  void close_with_draw(std::string label, std::optional<Scores> deltas, bool dealer_continues);

  void emit(Event event) { outcome_.events.push_back(std::move(event)); }
  JsonSeat& record(std::size_t seat) { return outcome_.entry.seats[seat]; }
  template <class Item>
  void add_take(std::size_t seat, Item&& item) {
    record(seat).takes.emplace_back(std::forward<Item>(item));
    ++players_[seat].takes;
  }

  Rng& rng_;
  const SimSettings& settings_;
  HandSetup setup_;
  std::size_t dealer_;
  HandOutcome outcome_;

  Wall wall_;

  std::array<Player, 4> players_;
  std::vector<Trap> traps_;
  Tile last_discard_;
  bool riichi_declared_ = false;  // the last discard declared riichi
  int riichi_count_ = 0;
  bool riichi_rush_ = false;               // every seat declares when it can; nobody calls
  bool any_call_ = false;                  // a call or kan broke the first go-around
  std::optional<std::uint8_t> swap_kind_;  // kind not to discard right after a call

  int kans_ = 0;
  std::array<bool, 4> kan_owner_{};
  // Tenhou shows the indicator of an open kan after the kan's discard (or
  // at the next kan); the converter writes its "dora" right before the next
  // discard that is not a riichi declaration (or at the next kan).  Both
  // use the indicators in the order of the kans.
  std::size_t indicators_shown_ = 1;
  int indicators_pending_ = 0;
  std::size_t dora_events_ = 0;
  int doras_due_ = 0;
  bool open_kan_awaits_draw_ = false;
};

// --- dealing --------------------------------------------------------------

void HandSimulator::rig() {
  std::vector<std::uint8_t> used;
  auto fresh_kind = [&] {
    std::uint8_t kind = 0;
    do kind = static_cast<std::uint8_t>(rng_.below(kKindCount));
    while (std::find(used.begin(), used.end(), kind) != used.end());
    used.push_back(kind);
    return kind;
  };
  if (rng_.chance(settings_.kan_rig)) {
    const std::size_t seat = rng_.below(4);
    wall_.give_kind(seat, fresh_kind(), 3, rng_);
  }
  // Four kans by more than one seat abort the hand; rare enough in play
  // that it needs dealing.
  if (rng_.chance(settings_.kan_storm)) {
    const std::size_t first = rng_.below(4);
    for (std::size_t seat : {first, seat_after(first, 1 + rng_.below(3))}) {
      wall_.give_kind(seat, fresh_kind(), 4, rng_);
      wall_.give_kind(seat, fresh_kind(), 4, rng_);
    }
  }
  // Four riichi abort the hand after the fourth riichi's discard: with
  // riichi at a few percent a decision, and any call opening a hand, rarer
  // still.  Drawn only when asked for, so that games without rushes stay as
  // they were; a rush sets no traps, whose seats may not declare.
  riichi_rush_ = settings_.riichi_rush > 0 && rng_.chance(settings_.riichi_rush);
  if (riichi_rush_) return;
  for (std::size_t i = 0; i < settings_.max_traps; ++i) {
    if (!rng_.chance(settings_.trap)) continue;
    Trap trap;
    trap.discarder = rng_.below(4);
    trap.caller = seat_after(trap.discarder, rng_.chance(0.5) ? 2 : 3);
    const std::uint8_t kind = fresh_kind();
    trap.tile = tile_at(kind);
    trap.call_at_once = rng_.chance(settings_.trap_call_at_once);
    bool ok = wall_.give(trap.discarder, trap.tile, rng_) && wall_.give(trap.discarder, trap.tile, rng_) &&
              wall_.give_kind(trap.caller, kind, 2, rng_);
    if (ok && !trap.call_at_once) {
      trap.pair_kind = fresh_kind();
      ok = wall_.give_kind(trap.discarder, trap.pair_kind, 2, rng_) &&
           wall_.give_kind(seat_after(trap.discarder), trap.pair_kind, 1, rng_);
    }
    if (ok) traps_.push_back(trap);
  }
  outcome_.traps_set = traps_.size();
}

void HandSimulator::deal() {
  JsonHand& entry = outcome_.entry;
  entry.id = setup_.id;
  entry.scores = setup_.scores;
  event::StartKyoku start;
  start.bakaze = tile_at(static_cast<std::uint8_t>(27 + std::min(setup_.id.hand_index / 4, 3)));
  start.dora_marker = wall_.dora_indicator(0);
  start.kyoku = static_cast<std::uint8_t>(setup_.id.hand_index % 4 + 1);
  start.honba = setup_.id.honba;
  start.kyotaku = setup_.id.deposits;
  start.oya = static_cast<std::uint8_t>(dealer_);
  start.scores = setup_.scores;
  for (std::size_t s = 0; s < 4; ++s) {
    std::vector<Tile> hand = wall_.starting_hand(s);
    std::sort(hand.begin(), hand.end(), [](Tile a, Tile b) { return sort_key(a) < sort_key(b); });
    players_[s].hand = hand;
    std::copy(hand.begin(), hand.end(), record(s).hand.begin());
    start.tehais[s] = record(s).hand;
  }
  emit(std::move(start));
}

// --- dora -----------------------------------------------------------------

void HandSimulator::reveal_pending_indicators() {
  indicators_shown_ += static_cast<std::size_t>(indicators_pending_);
  indicators_pending_ = 0;
}

void HandSimulator::write_dora_event() {
  ++dora_events_;
  emit(event::Dora{wall_.dora_indicator(dora_events_)});
}

void HandSimulator::write_due_doras() {
  for (; doras_due_ > 0; --doras_due_) write_dora_event();
}

// --- play -----------------------------------------------------------------

double HandSimulator::ramp() const { return 0.5 + static_cast<double>(wall_.drawn()) / 35.0; }

bool HandSimulator::caller_waits(const Trap& trap) const {
  return trap.waiting && players_[trap.discarder].holds(trap.tile);
}

bool HandSimulator::in_trap(std::size_t seat) const {
  return std::any_of(traps_.begin(), traps_.end(),
                     [&](const Trap& t) { return caller_waits(t) && (t.discarder == seat || t.caller == seat); });
}

bool HandSimulator::is_protected(std::size_t seat, Tile tile) const {
  const std::uint8_t kind = kind_of(tile);
  for (const Trap& t : traps_) {
    if (!caller_waits(t)) continue;
    if (t.caller == seat && kind == kind_of(t.tile)) return true;
    if (t.discarder == seat && (tile == t.tile || (!t.call_at_once && kind == t.pair_kind))) return true;
    if (!t.call_at_once && seat == seat_after(t.discarder) && kind == t.pair_kind) return true;
  }
  // Triplets are kept for a kan.
  return players_[seat].count_kind(kind) >= 3;
}

double HandSimulator::call_chance(std::size_t seat) const {
  for (const Trap& t : traps_) {
    if (!caller_waits(t)) continue;
    if (t.caller == seat) return 0.0;  // keeps still until the tile comes
    // The discarder calls eagerly while its caller has not taken since the
    // last copy: a call skips the caller's turn, so the next copy comes
    // before the caller's next take.
    if (t.discarder == seat && t.discarded > 0 && players_[t.caller].takes == t.caller_takes_at_discard) return 0.9;
  }
  return riichi_rush_ ? 0.0 : settings_.call;
}

std::optional<Tile> HandSimulator::trap_discard(std::size_t seat) {
  for (Trap& t : traps_) {
    if (t.discarder != seat || !players_[seat].holds(t.tile)) continue;
    double p = 0.0;
    if (t.discarded == 0) {
      p = 0.3;
    } else if (!t.waiting) {
      p = 0.4;
    } else if (players_[t.caller].takes == t.caller_takes_at_discard) {
      p = 0.95;
    } else {
      p = 0.05;
    }
    if (rng_.chance(p)) return t.tile;
  }
  return std::nullopt;
}

// A seat between a trap's discarder and its caller hands the discarder a
// tile to call, so that the discarder's next discard comes before the
// caller's next take.
std::optional<Tile> HandSimulator::feed_tile(std::size_t seat, std::size_t own_end) {
  const Player& p = players_[seat];
  for (const Trap& t : traps_) {
    if (!caller_waits(t) || t.discarded == 0 || players_[t.caller].takes != t.caller_takes_at_discard) continue;
    const std::size_t position = relative_seat(t.discarder, seat);
    if (position == 0 || position >= relative_seat(t.discarder, t.caller)) continue;
    const Player& discarder = players_[t.discarder];
    for (std::size_t i = 0; i < own_end; ++i) {
      const std::uint8_t kind = kind_of(p.hand[i]);
      if (kind != kind_of(t.tile) && discarder.count_kind(kind) >= 2 && rng_.chance(0.85)) return p.hand[i];
    }
  }
  return std::nullopt;
}

std::pair<Tile, bool> HandSimulator::choose_discard(std::size_t seat, bool after_draw) {
  Player& p = players_[seat];
  const std::size_t own_end = p.hand.size() - (after_draw ? 1 : 0);
  if (after_draw && p.riichi) return {p.hand.back(), true};
  if (auto tile = trap_discard(seat)) {
    const bool held = std::find(p.hand.begin(), p.hand.begin() + static_cast<std::ptrdiff_t>(own_end), *tile) !=
                      p.hand.begin() + static_cast<std::ptrdiff_t>(own_end);
    const bool drawn = after_draw && p.hand.back() == *tile;
    return {*tile, drawn && (!held || rng_.chance(0.5))};
  }
  if (after_draw && !is_protected(seat, p.hand.back()) && rng_.chance(settings_.tsumogiri)) {
    return {p.hand.back(), true};
  }
  if (auto tile = feed_tile(seat, own_end)) return {*tile, false};

  std::vector<Tile> choice;
  for (int strictness = 2; strictness >= 0 && choice.empty(); --strictness) {
    for (std::size_t i = 0; i < own_end; ++i) {
      const Tile t = p.hand[i];
      if (strictness >= 1 && swap_kind_ && kind_of(t) == *swap_kind_) continue;
      if (strictness >= 2 && is_protected(seat, t)) continue;
      choice.push_back(t);
    }
  }
  return {rng_.pick(choice), false};
}

HandSimulator::Next HandSimulator::draw(std::size_t seat, bool rinshan) {
  Player& p = players_[seat];
  const Tile tile = rinshan ? wall_.draw_replacement() : wall_.draw();
  p.hand.push_back(tile);
  add_take(seat, tile);
  emit(event::Tsumo{static_cast<Seat>(seat), tile});
  if (rinshan && open_kan_awaits_draw_) {
    open_kan_awaits_draw_ = false;
    ++doras_due_;
  }
  return act_after_draw(seat);
}

HandSimulator::Next HandSimulator::act_after_draw(std::size_t seat) {
  Player& p = players_[seat];
  swap_kind_.reset();
  if (rng_.chance(settings_.tsumo_win * ramp())) return win({seat}, seat);

  const bool first_go_around = !any_call_ && record(seat).takes.size() == 1;
  if (first_go_around && rng_.chance(settings_.nine_terminals)) return abortive_draw("九種九牌");

  // Kans need a live tile left, since each one moves the wall's end.
  if (kans_ < kMaxKans && wall_.live_left() > 0) {
    std::vector<std::uint8_t> closed;
    std::vector<std::size_t> added;
    for (std::uint8_t kind = 0; kind < kKindCount; ++kind) {
      // In riichi only the tile just drawn may complete a closed kan.
      if (p.count_kind(kind) == 4 && (!p.riichi || kind == kind_of(p.hand.back()))) closed.push_back(kind);
    }
    for (std::size_t i = 0; i < p.melds.size(); ++i) {
      if (p.melds[i].kind == MeldKind::Pon && p.count_kind(p.melds[i].tile_kind) > 0) added.push_back(i);
    }
    const std::size_t options = closed.size() + added.size();
    if (options > 0 && rng_.chance(settings_.closed_kan)) {
      const std::size_t pick = rng_.below(options);
      if (pick < closed.size()) return declare_ankan(seat, closed[pick]);
      return declare_kakan(seat, added[pick - closed.size()]);
    }
  }

  const bool may_riichi =
      !p.riichi && p.closed() && score(seat) >= kRiichiStick && wall_.live_left() >= 4 && !in_trap(seat);
  const bool riichi = may_riichi && rng_.chance(riichi_rush_ ? 1.0 : settings_.riichi);
  const auto [tile, tsumogiri] = choose_discard(seat, true);
  discard(seat, tile, tsumogiri, riichi);
  return Next::AfterDiscard;
}

HandSimulator::Next HandSimulator::declare_ankan(std::size_t seat, std::uint8_t kind) {
  Player& p = players_[seat];
  const std::vector<Tile> tiles = p.take_kind(kind, 4, rng_);
  const std::array<Tile, 4> four = {tiles[0], tiles[1], tiles[2], tiles[3]};
  Meld meld;
  meld.kind = MeldKind::Ankan;
  meld.tile_kind = kind;
  p.melds.push_back(meld);
  record(seat).discards.emplace_back(ankan_notation(four));
  ++kans_;
  kan_owner_[seat] = true;
  any_call_ = true;

  write_due_doras();
  reveal_pending_indicators();
  emit(event::Ankan{static_cast<Seat>(seat), four});
  ++indicators_shown_;  // a closed kan shows its indicator at once
  write_dora_event();
  return Next::Rinshan;
}

HandSimulator::Next HandSimulator::declare_kakan(std::size_t seat, std::size_t meld_index) {
  Player& p = players_[seat];
  Meld& meld = p.melds[meld_index];
  Tile added;
  for (Tile t : p.hand) {
    if (kind_of(t) == meld.tile_kind) added = t;
  }
  p.remove(added);
  meld.kind = MeldKind::Kakan;
  record(seat).discards.emplace_back(kakan_notation_from_pon(meld.pon_text, added));
  ++kans_;
  kan_owner_[seat] = true;
  any_call_ = true;
  reveal_pending_indicators();
  emit(event::Kakan{static_cast<Seat>(seat), added, meld.pon_fields});

  std::vector<std::size_t> robbers;
  for (std::size_t step = 1; step <= 3; ++step) {
    if (robbers.size() < 2 && rng_.chance(settings_.chankan)) robbers.push_back(seat_after(seat, step));
  }
  if (!robbers.empty()) return win(robbers, seat);

  write_due_doras();
  open_kan_awaits_draw_ = true;
  ++indicators_pending_;
  return Next::Rinshan;
}

void HandSimulator::discard(std::size_t seat, Tile tile, bool tsumogiri, bool riichi) {
  Player& p = players_[seat];
  if (tsumogiri) {
    p.hand.pop_back();
  } else {
    // A tile from the hand: any copy held before the draw.
    p.hand.erase(std::find(p.hand.begin(), p.hand.end(), tile));
  }
  if (riichi) {
    record(seat).discards.emplace_back(riichi_notation(tsumogiri ? std::nullopt : std::optional<Tile>(tile)));
    emit(event::Reach{static_cast<Seat>(seat)});
    p.riichi = true;
  } else {
    if (tsumogiri) {
      record(seat).discards.emplace_back(std::uint8_t{60});
    } else {
      record(seat).discards.emplace_back(tile);
    }
    write_due_doras();
  }
  emit(event::Dahai{static_cast<Seat>(seat), tile, tsumogiri});
  reveal_pending_indicators();
  last_discard_ = tile;
  riichi_declared_ = riichi;

  for (Trap& t : traps_) {
    if (t.discarder != seat || tile != t.tile) continue;
    const std::size_t caller_takes = players_[t.caller].takes;
    t.window = t.discarded > 0 && caller_takes == t.caller_takes_at_discard;
    ++t.discarded;
    t.caller_takes_at_discard = caller_takes;
  }
}

HandSimulator::Next HandSimulator::after_discard(std::size_t& actor) {
  const std::size_t from = actor;
  const Tile tile = last_discard_;

  // In Tenhou's rules a third winner on one discard aborts the hand; two at most here.
  std::vector<std::size_t> winners;
  for (std::size_t step = 1; step <= 3; ++step) {
    if (winners.size() < 2 && rng_.chance(settings_.ron * ramp())) winners.push_back(seat_after(from, step));
  }
  if (!winners.empty()) return win(winners, from);

  const bool riichi_accepted = riichi_declared_;
  if (riichi_accepted) {
    ++players_[from].sticks;
    if (++riichi_count_ == 4) {
      // Nobody moves after the fourth riichi, yet it stands: Tenhou takes
      // its stick and carries all four into the next hand.
      emit(event::ReachAccepted{static_cast<Seat>(from)});
      return abortive_draw("四家立直");
    }
  }
  const int kan_owners = static_cast<int>(std::count(kan_owner_.begin(), kan_owner_.end(), true));
  if (kans_ == kMaxKans && kan_owners > 1) return abortive_draw("四槓散了");
  if (wall_.live_left() == 0) return exhaustive_draw();
  if (riichi_accepted) emit(event::ReachAccepted{static_cast<Seat>(from)});

  // Pon and kan go before chi; among them the first seat in turn order that
  // wants the tile gets it.
  const std::uint8_t kind = kind_of(tile);
  for (std::size_t step = 1; step <= 3; ++step) {
    const std::size_t seat = seat_after(from, step);
    const Player& p = players_[seat];
    if (p.riichi || p.count_kind(kind) < 2) continue;
    bool take = false;
    bool is_trap_tile = false;
    for (Trap& t : traps_) {
      if (t.caller != seat || !t.waiting || t.discarder != from || tile != t.tile) continue;
      is_trap_tile = true;
      const double p_take = t.call_at_once ? (t.discarded == 1 ? 0.9 : 0.5) : (t.window ? 0.9 : 0.1);
      take = rng_.chance(p_take);
      if (take) {
        t.waiting = false;
        ++outcome_.traps_sprung;
      }
    }
    if (is_trap_tile && !take) continue;
    if (!is_trap_tile && p.count_kind(kind) >= 3 && kans_ < kMaxKans && call_chance(seat) > 0 &&
        rng_.chance(settings_.open_kan)) {
      actor = seat;
      return call_daiminkan(seat, from, tile);
    }
    if (take || (!is_trap_tile && rng_.chance(call_chance(seat)))) {
      actor = seat;
      return call_pon(seat, from, tile);
    }
  }

  const std::size_t next = seat_after(from);
  if (is_suited_kind(kind) && !players_[next].riichi) {
    const Player& p = players_[next];
    const int number = number_of_kind(kind);
    std::vector<std::array<std::uint8_t, 2>> runs;
    for (int low = number - 2; low <= number; ++low) {
      if (low < 1 || low + 2 > 9) continue;
      std::array<std::uint8_t, 2> others{};
      std::size_t n = 0;
      for (int k = low; k < low + 3; ++k) {
        if (k != number) others[n++] = static_cast<std::uint8_t>(kind - number + k);
      }
      if (p.count_kind(others[0]) > 0 && p.count_kind(others[1]) > 0) runs.push_back(others);
    }
    if (!runs.empty() && rng_.chance(call_chance(next))) {
      actor = next;
      return call_chi(next, from, tile, rng_.pick(runs));
    }
  }

  actor = next;
  return Next::Draw;
}

HandSimulator::Next HandSimulator::call_pon(std::size_t caller, std::size_t from, Tile called) {
  Player& p = players_[caller];
  const std::vector<Tile> own = p.take_kind(kind_of(called), 2, rng_);
  const std::size_t relative = relative_seat(caller, from);
  Meld meld;
  meld.kind = MeldKind::Pon;
  meld.tile_kind = kind_of(called);
  meld.pon_text = pon_notation(relative, called, {own[0], own[1]});
  meld.pon_fields = relative == 3   ? std::array<Tile, 3>{called, own[0], own[1]}
                    : relative == 2 ? std::array<Tile, 3>{own[0], called, own[1]}
                                    : std::array<Tile, 3>{own[0], own[1], called};
  p.melds.push_back(meld);
  add_take(caller, meld.pon_text);
  any_call_ = true;
  swap_kind_ = kind_of(called);
  emit(event::Pon{static_cast<Seat>(caller), static_cast<Seat>(from), called, {own[0], own[1]}});
  return Next::DiscardAfterCall;
}

HandSimulator::Next HandSimulator::call_daiminkan(std::size_t caller, std::size_t from, Tile called) {
  Player& p = players_[caller];
  const std::vector<Tile> own = p.take_kind(kind_of(called), 3, rng_);
  const std::array<Tile, 3> three = {own[0], own[1], own[2]};
  Meld meld;
  meld.kind = MeldKind::Daiminkan;
  meld.tile_kind = kind_of(called);
  p.melds.push_back(meld);
  add_take(caller, daiminkan_notation(relative_seat(caller, from), called, three));
  // The log keeps the call's place in the discard list with a 0.
  record(caller).discards.emplace_back(Tile{});
  ++kans_;
  kan_owner_[caller] = true;
  any_call_ = true;

  write_due_doras();
  emit(event::Daiminkan{static_cast<Seat>(caller), static_cast<Seat>(from), called, three});
  open_kan_awaits_draw_ = true;
  ++indicators_pending_;
  return Next::Rinshan;
}

HandSimulator::Next HandSimulator::call_chi(std::size_t caller, std::size_t from, Tile called,
                                            std::array<std::uint8_t, 2> kinds) {
  Player& p = players_[caller];
  std::array<Tile, 2> own{};
  for (std::size_t i = 0; i < 2; ++i) own[i] = p.take_kind(kinds[i], 1, rng_)[0];
  Meld meld;
  meld.kind = MeldKind::Chi;
  meld.tile_kind = kind_of(called);
  p.melds.push_back(meld);
  add_take(caller, chi_notation(called, own));
  any_call_ = true;
  swap_kind_ = kind_of(called);
  emit(event::Chi{static_cast<Seat>(caller), static_cast<Seat>(from), called, own});
  return Next::DiscardAfterCall;
}

// --- endings --------------------------------------------------------------

HandSimulator::Next HandSimulator::win(const std::vector<std::size_t>& winners, std::size_t target) {
  static constexpr std::array<std::int32_t, 9> kValues = {1000, 1300, 2000, 2600, 3900, 5200, 7700, 8000, 12000};
  JsonHand& entry = outcome_.entry;
  const std::int32_t honba = setup_.id.honba;
  std::int32_t sticks = setup_.id.deposits;
  for (const Player& p : players_) sticks += p.sticks;

  const bool any_riichi =
      std::any_of(winners.begin(), winners.end(), [&](std::size_t w) { return players_[w].riichi; });
  if (any_riichi) {
    entry.ura_indicators = wall_.ura_indicators(indicators_shown_);
  }
  entry.result.emplace_back(std::string("和了"));
  for (std::size_t i = 0; i < winners.size(); ++i) {
    const std::size_t w = winners[i];
    const bool dealer = w == dealer_;
    std::int32_t value = rng_.pick(std::vector<std::int32_t>(kValues.begin(), kValues.end()));
    if (dealer) value = round_up_100(value * 3 / 2);
    // The nearest winner in turn order takes the sticks.
    const Scores deltas = win_deltas(w, target, dealer_, value, honba, i == 0 ? sticks : 0);
    for (std::size_t s = 0; s < 4; ++s) outcome_.score_change[s] += deltas[s];
    entry.result.emplace_back(deltas);
    std::vector<JsonValue> detail = {JsonValue{std::uint64_t(w)}, JsonValue{std::uint64_t(target)},
                                     JsonValue{std::uint64_t(w)}, JsonValue{std::to_string(value) + "点"}};
    entry.result.emplace_back(std::move(detail));
    emit(event::Hora{static_cast<Seat>(w), static_cast<Seat>(target), deltas, std::vector<Tile>{}});
    if (dealer) outcome_.dealer_won = true;
  }
  // Every win carries the hand's whole ura list.
  for (Event& e : outcome_.events) {
    if (auto* hora = std::get_if<event::Hora>(&e)) hora->ura_markers = entry.ura_indicators;
  }
  outcome_.won = true;
  outcome_.dealer_continues = outcome_.dealer_won;
  outcome_.deposits_left = 0;
  emit(event::EndKyoku{});
  return Next::Over;
}

void HandSimulator::close_with_draw(std::string label, std::optional<Scores> deltas, bool dealer_continues) {
  JsonHand& entry = outcome_.entry;
  entry.result.emplace_back(std::move(label));
  if (deltas) {
    entry.result.emplace_back(*deltas);
    for (std::size_t s = 0; s < 4; ++s) outcome_.score_change[s] += (*deltas)[s];
  }
  std::int32_t sticks = setup_.id.deposits;
  for (const Player& p : players_) sticks += p.sticks;
  outcome_.deposits_left = static_cast<std::uint8_t>(std::min<std::int32_t>(sticks, 255));
  outcome_.dealer_continues = dealer_continues;
  emit(event::Ryukyoku{deltas.value_or(Scores{})});
  emit(event::EndKyoku{});
}

HandSimulator::Next HandSimulator::exhaustive_draw() {
  std::array<bool, 4> tenpai{};
  int count = 0;
  for (std::size_t s = 0; s < 4; ++s) {
    tenpai[s] = players_[s].riichi || rng_.chance(0.4);
    count += tenpai[s] ? 1 : 0;
  }
  if (count == 0) {
    close_with_draw("全員不聴", std::nullopt, false);
  } else if (count == 4) {
    close_with_draw("全員聴牌", std::nullopt, true);
  } else {
    close_with_draw("流局", noten_payments(tenpai), tenpai[dealer_]);
  }
  return Next::Over;
}

HandSimulator::Next HandSimulator::abortive_draw(const char* label) {
  close_with_draw(label, std::nullopt, true);
  return Next::Over;
}

HandOutcome HandSimulator::run() {
  rig();
  deal();
  std::size_t actor = dealer_;
  Next next = Next::Draw;
  while (next != Next::Over) {
    switch (next) {
      case Next::Draw: next = draw(actor, false); break;
      case Next::Rinshan: next = draw(actor, true); break;
      case Next::DiscardAfterCall: {
        const auto [tile, tsumogiri] = choose_discard(actor, false);
        discard(actor, tile, tsumogiri, false);
        next = Next::AfterDiscard;
        break;
      }
      case Next::AfterDiscard: next = after_discard(actor); break;
      case Next::Over: break;
    }
  }
  JsonHand& entry = outcome_.entry;
  entry.dora_indicators = wall_.dora_indicators(indicators_shown_);
  for (std::size_t s = 0; s < 4; ++s) outcome_.score_change[s] -= kRiichiStick * players_[s].sticks;
  return std::move(outcome_);
}

}  // namespace

HandOutcome simulate_hand(Rng& rng, const SimSettings& settings, const HandSetup& setup) {
  return HandSimulator(rng, settings, setup).run();
}

}  // namespace kiroku::sim::detail
