#include "sim/replay_checker.h"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "sim/log_notation.h"
#include "sim/sim_tiles.h"

#include "kiroku/tile_code.h"

namespace kiroku::sim {

namespace {

using event::Seat;

constexpr std::size_t kLiveWallTiles = 70;  // 136 - 4 * 13 - 14 in the dead wall
constexpr int kMaxKans = 4;

std::size_t seat_after(std::size_t seat) { return (seat + 1) % 4; }

std::string item_text(const ActionItem& item) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Tile>) {
          return std::to_string(tile_code(v));
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
          return "#" + std::to_string(v);
        } else {
          return "\"" + std::string(v.view()) + "\"";
        }
      },
      item);
}

template <std::size_t N>
std::string tiles_text(const std::array<Tile, N>& tiles) {
  std::string text;
  for (Tile t : tiles) text += (text.empty() ? "" : ",") + std::string(tile_name(t));
  return "[" + text + "]";
}

struct ExpectedWin {
  std::uint64_t winner = 0;
  std::uint64_t target = 0;
  Scores deltas{};
};

// The hand's result as the log states it.
struct ExpectedResult {
  bool win = false;
  bool four_riichi = false;  // the abortive draw "四家立直"
  std::vector<ExpectedWin> wins;
  Scores draw_deltas{};
};

ExpectedResult expected_result(const std::vector<ResultItem>& items) {
  ExpectedResult result;
  const auto* label = items.empty() ? nullptr : std::get_if<std::string>(&items[0]);
  if (label == nullptr) return result;
  if (*label != "和了") {
    result.four_riichi = *label == "四家立直";
    if (items.size() > 1) {
      if (const auto* deltas = std::get_if<Scores>(&items[1])) result.draw_deltas = *deltas;
    }
    return result;
  }
  result.win = true;
  for (std::size_t i = 1; i + 1 < items.size(); i += 2) {
    const auto* deltas = std::get_if<Scores>(&items[i]);
    const auto* detail = std::get_if<std::vector<JsonValue>>(&items[i + 1]);
    if (deltas == nullptr || detail == nullptr || detail->size() < 2) continue;
    ExpectedWin win;
    win.deltas = *deltas;
    if (const auto* w = std::get_if<std::uint64_t>(&(*detail)[0].value)) win.winner = *w;
    if (const auto* t = std::get_if<std::uint64_t>(&(*detail)[1].value)) win.target = *t;
    result.wins.push_back(win);
  }
  return result;
}

enum class MeldKind : std::uint8_t { Chi, Pon, Daiminkan, Kakan, Ankan };

struct Meld {
  MeldKind kind = MeldKind::Chi;
  std::vector<Tile> tiles;
  std::size_t relative = 0;  // where the called tile came from, seen from the caller
};

struct SeatState {
  std::array<int, Tile::kCount> hand{};
  std::vector<Meld> melds;
  bool riichi = false;
  std::vector<ActionItem> takes;
  std::vector<ActionItem> discards;

  int concealed() const {
    int n = 0;
    for (int c : hand) n += c;
    return n;
  }
  bool closed() const {
    return std::all_of(melds.begin(), melds.end(), [](const Meld& m) { return m.kind == MeldKind::Ankan; });
  }
};

// Where the hand stands between two events.
enum class Phase : std::uint8_t {
  Draw,          // the dealer's first draw is next
  AfterDraw,     // the actor drew and must discard, declare or kan
  AfterCall,     // the actor called a chi or pon and must discard
  AfterReach,    // the actor declared riichi and must discard
  AfterDiscard,  // a call, the next seat's draw or the result is next
  AfterKakan,    // the replacement draw or a robbing win is next
  NeedRinshan,   // the actor's replacement draw is next
  Result,        // only results and "end_kyoku" may follow
};

// A kan whose "dora" is not written yet.
struct DueKan {
  bool closed = false;
  bool replaced = false;  // its replacement tile was drawn
};

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};

class Checker {
 public:
  Checker(std::span<const Event> events, const JsonLog& log) : events_(events), log_(log) {}

  std::expected<void, ReplayProblem> run() {
    if (check_game()) return {};
    return std::unexpected(problem_);
  }

 private:
  bool fail(std::string message) {
    problem_ = {index_, std::move(message)};
    return false;
  }

  const Event* current() const { return index_ < events_.size() ? &events_[index_] : nullptr; }

  bool check_game();
  bool check_hand(const JsonHand& hand);
  bool check_start(const JsonHand& hand);
  bool check_event(const Event& event);
  bool check_end(const JsonHand& hand);

  bool on_tsumo(const event::Tsumo& e);
  bool on_dahai(const event::Dahai& e);
  bool on_call(const Event& event, Seat actor, Seat target, Tile pai, std::span<const Tile> consumed);
  bool on_kakan(const event::Kakan& e);
  bool on_ankan(const event::Ankan& e);
  bool on_dora(const event::Dora& e);
  bool on_reach(const event::Reach& e);
  bool on_reach_accepted(const event::ReachAccepted& e);
  bool on_hora(const event::Hora& e);
  bool on_ryukyoku(const event::Ryukyoku& e);

  bool take_from_hand(std::size_t seat, Tile tile, std::string_view what);
  bool after_dora_allows(const Event& event) const;

  std::span<const Event> events_;
  const JsonLog& log_;
  std::size_t index_ = 0;
  ReplayProblem problem_;

  // The hand being replayed.
  const JsonHand* hand_ = nullptr;
  std::size_t hand_position_ = 0;
  std::array<SeatState, 4> seats_;
  Phase phase_ = Phase::Draw;
  std::size_t actor_ = 0;
  std::optional<Tile> drawn_;  // the actor's tile just drawn, while it may still be let go
  std::size_t discarder_ = 0;
  Tile last_tile_;
  std::optional<int> unaccepted_riichi_;
  std::deque<DueKan> due_kans_;
  bool dora_must_follow_ = false;  // a closed kan was just written
  bool after_dora_ = false;        // the previous event was a "dora"
  std::size_t dora_cursor_ = 1;
  std::size_t draws_ = 0;
  int kans_ = 0;
  std::array<int, kKindCount> seen_kinds_{};
  std::array<int, Tile::kCount> seen_tiles_{};
  ExpectedResult result_;
  std::size_t wins_written_ = 0;
  bool draw_written_ = false;
};

bool Checker::check_game() {
  const Event* first = current();
  const auto* start = first ? std::get_if<event::StartGame>(first) : nullptr;
  if (start == nullptr) return fail("the stream does not open with start_game");
  if (start->names != log_.name) return fail("start_game names differ from the log");
  const bool east_only =
      log_.rule.disp.find("東") != std::string::npos || log_.rule.disp.find("East") != std::string::npos;
  if (start->kyoku_first != (east_only ? 4 : 0)) return fail("start_game kyoku_first does not fit the rule text");
  const bool aka = log_.rule.aka != 0 || log_.rule.aka51 != 0 || log_.rule.aka52 != 0 || log_.rule.aka53 != 0;
  if (start->aka_flag != aka) return fail("start_game aka_flag does not fit the rule");
  ++index_;
  for (hand_position_ = 0; hand_position_ < log_.log.size(); ++hand_position_) {
    if (!check_hand(log_.log[hand_position_])) return false;
  }
  const Event* last = current();
  if (last == nullptr || !std::holds_alternative<event::EndGame>(*last))
    return fail("end_game missing after the last hand");
  ++index_;
  if (index_ != events_.size()) return fail("events after end_game");
  return true;
}

bool Checker::check_start(const JsonHand& hand) {
  const Event* event = current();
  const auto* start = event ? std::get_if<event::StartKyoku>(event) : nullptr;
  if (start == nullptr) return fail("hand " + std::to_string(hand_position_) + " does not open with start_kyoku");
  const std::uint8_t index = hand.id.hand_index;
  const bool fields_fit = start->bakaze.index() == 27 + std::min(index / 4, 3) && !hand.dora_indicators.empty() &&
                          start->dora_marker == hand.dora_indicators[0] && start->kyoku == index % 4 + 1 &&
                          start->honba == hand.id.honba && start->kyotaku == hand.id.deposits &&
                          start->oya == index % 4 && start->scores == hand.scores;
  if (!fields_fit) return fail("start_kyoku fields differ from the log's hand entry");
  for (std::size_t s = 0; s < 4; ++s) {
    if (start->tehais[s] != hand.seats[s].hand)
      return fail("start_kyoku tehais of seat " + std::to_string(s) + " differ");
  }

  hand_ = &hand;
  seats_ = {};
  for (std::size_t s = 0; s < 4; ++s) {
    for (Tile t : hand.seats[s].hand) ++seats_[s].hand[t.index()];
  }
  phase_ = Phase::Draw;
  actor_ = index % 4;
  drawn_.reset();
  unaccepted_riichi_.reset();
  due_kans_.clear();
  dora_must_follow_ = false;
  after_dora_ = false;
  dora_cursor_ = 1;
  draws_ = 0;
  kans_ = 0;
  seen_kinds_ = {};
  seen_tiles_ = {};
  auto see = [&](Tile t) {
    ++seen_tiles_[t.index()];
    if (!t.is_placeholder()) ++seen_kinds_[kind_of(t)];
  };
  for (const JsonSeat& seat : hand.seats) {
    for (Tile t : seat.hand) see(t);
  }
  for (Tile t : hand.dora_indicators) see(t);
  for (Tile t : hand.ura_indicators) see(t);
  result_ = expected_result(hand.result);
  wins_written_ = 0;
  draw_written_ = false;
  ++index_;
  return true;
}

bool Checker::check_hand(const JsonHand& hand) {
  if (!check_start(hand)) return false;
  for (;;) {
    const Event* event = current();
    if (event == nullptr) return fail("the stream ends inside hand " + std::to_string(hand_position_));
    if (std::holds_alternative<event::EndKyoku>(*event)) break;
    if (dora_must_follow_ && !std::holds_alternative<event::Dora>(*event)) {
      return fail("no dora right after the ankan");
    }
    if (after_dora_ && !after_dora_allows(*event)) return fail("dora placed before " + describe_event(*event));
    after_dora_ = false;
    if (!check_event(*event)) return false;
    ++index_;
  }
  if (!check_end(hand)) return false;
  ++index_;
  return true;
}

// A "dora" is written right before a discard that is not a riichi
// declaration, before a kan's replacement draw, before a kan, or right after
// a closed kan (checked in on_dora).
bool Checker::after_dora_allows(const Event& event) const {
  return std::visit(
      Overloaded{
          [&](const event::Dahai&) { return phase_ != Phase::AfterReach; },
          [&](const event::Tsumo&) { return phase_ == Phase::NeedRinshan || phase_ == Phase::AfterKakan; },
          [](const event::Ankan&) { return true; },
          [](const event::Daiminkan&) { return true; },
          [](const event::Dora&) { return true; },
          [](const auto&) { return false; },
      },
      event);
}

bool Checker::check_event(const Event& event) {
  if (phase_ == Phase::Result && !std::holds_alternative<event::Hora>(event)) {
    return fail("event after the hand's result: " + describe_event(event));
  }
  return std::visit(Overloaded{
                        [&](const event::Tsumo& e) { return on_tsumo(e); },
                        [&](const event::Dahai& e) { return on_dahai(e); },
                        [&](const event::Chi& e) { return on_call(event, e.actor, e.target, e.pai, e.consumed); },
                        [&](const event::Pon& e) { return on_call(event, e.actor, e.target, e.pai, e.consumed); },
                        [&](const event::Daiminkan& e) { return on_call(event, e.actor, e.target, e.pai, e.consumed); },
                        [&](const event::Kakan& e) { return on_kakan(e); },
                        [&](const event::Ankan& e) { return on_ankan(e); },
                        [&](const event::Dora& e) { return on_dora(e); },
                        [&](const event::Reach& e) { return on_reach(e); },
                        [&](const event::ReachAccepted& e) { return on_reach_accepted(e); },
                        [&](const event::Hora& e) { return on_hora(e); },
                        [&](const event::Ryukyoku& e) { return on_ryukyoku(e); },
                        [&](const auto&) { return fail("unexpected " + describe_event(event) + " inside a hand"); },
                    },
                    event);
}

bool Checker::take_from_hand(std::size_t seat, Tile tile, std::string_view what) {
  int& count = seats_[seat].hand[tile.index()];
  if (count <= 0) {
    return fail("seat " + std::to_string(seat) + " " + std::string(what) + " " + std::string(tile_name(tile)) +
                " that it does not hold");
  }
  --count;
  return true;
}

bool Checker::on_tsumo(const event::Tsumo& e) {
  if (e.pai.is_placeholder()) return fail("tsumo of the placeholder tile");
  bool replacement = false;
  switch (phase_) {
    case Phase::Draw:
      if (e.actor != actor_) return fail("the dealer must draw first");
      break;
    case Phase::AfterDiscard:
      if (e.actor != seat_after(discarder_)) return fail("tsumo by a seat that is not next after the discarder");
      break;
    case Phase::NeedRinshan:
    case Phase::AfterKakan:
      if (e.actor != actor_) return fail("replacement draw by the wrong seat");
      replacement = true;
      break;
    default: return fail("tsumo out of turn");
  }
  if (unaccepted_riichi_) return fail("riichi not accepted before the next take");
  if (replacement) {
    if (!due_kans_.empty() && !due_kans_.back().closed && !due_kans_.back().replaced) due_kans_.back().replaced = true;
  }
  if (++draws_ > kLiveWallTiles) return fail("more draws than the wall holds");
  ++seen_tiles_[e.pai.index()];
  ++seen_kinds_[kind_of(e.pai)];
  SeatState& seat = seats_[e.actor];
  ++seat.hand[e.pai.index()];
  seat.takes.emplace_back(e.pai);
  actor_ = e.actor;
  drawn_ = e.pai;
  phase_ = Phase::AfterDraw;
  return true;
}

bool Checker::on_dahai(const event::Dahai& e) {
  const bool phase_fits = phase_ == Phase::AfterDraw || phase_ == Phase::AfterCall || phase_ == Phase::AfterReach;
  if (!phase_fits || e.actor != actor_) return fail("dahai out of turn");
  const bool declaration = phase_ == Phase::AfterReach;
  if (!declaration && !due_kans_.empty()) return fail("a kan's dora is missing before this dahai");
  SeatState& seat = seats_[e.actor];
  if (e.tsumogiri) {
    if (!drawn_ || *drawn_ != e.pai) return fail("tsumogiri dahai of a tile that was not just drawn");
  } else {
    if (seat.riichi && !declaration) return fail("a riichi hand discards from the hand");
    const int held = seat.hand[e.pai.index()] - (drawn_ && *drawn_ == e.pai ? 1 : 0);
    if (held <= 0) return fail("dahai from the hand of a tile held only as the drawn tile, or not at all");
  }
  if (!take_from_hand(e.actor, e.pai, "discards")) return false;
  if (seat.concealed() + 3 * static_cast<int>(seat.melds.size()) != 13) return fail("hand size wrong after dahai");
  if (declaration) {
    seat.discards.emplace_back(riichi_notation(e.tsumogiri ? std::nullopt : std::optional<Tile>(e.pai)));
    unaccepted_riichi_ = e.actor;
  } else {
    if (e.tsumogiri) {
      seat.discards.emplace_back(std::uint8_t{60});
    } else {
      seat.discards.emplace_back(e.pai);
    }
  }
  discarder_ = e.actor;
  last_tile_ = e.pai;
  drawn_.reset();
  phase_ = Phase::AfterDiscard;
  return true;
}

bool Checker::on_call(const Event& event, Seat actor, Seat target, Tile pai, std::span<const Tile> consumed) {
  const std::string what = describe_event(event);
  if (phase_ != Phase::AfterDiscard) return fail(what + " without a discard to call");
  if (target != discarder_ || actor == discarder_) return fail(what + " does not name the discarder as target");
  if (pai != last_tile_) return fail(what + " calls a tile other than the last discard");
  const bool chi = std::holds_alternative<event::Chi>(event);
  const bool kan = std::holds_alternative<event::Daiminkan>(event);
  if (chi && actor != seat_after(discarder_)) return fail(what + ": chi only from the previous seat");
  if (unaccepted_riichi_) return fail(what + " before the riichi was accepted");
  SeatState& seat = seats_[actor];
  if (seat.riichi) return fail(what + " by a riichi hand");

  std::vector<std::uint8_t> kinds = {kind_of(pai)};
  for (Tile t : consumed) {
    if (!take_from_hand(actor, t, "melds")) return false;
    kinds.push_back(kind_of(t));
  }
  if (chi) {
    std::sort(kinds.begin(), kinds.end());
    const bool run = is_suited_kind(kinds[2]) && suit_of_kind(kinds[0]) == suit_of_kind(kinds[2]) &&
                     kinds[1] == kinds[0] + 1 && kinds[2] == kinds[1] + 1;
    if (!run) return fail(what + " is not a run");
  } else if (std::any_of(kinds.begin(), kinds.end(), [&](std::uint8_t k) { return k != kinds[0]; })) {
    return fail(what + " mixes kinds");
  }

  Meld meld;
  meld.kind = chi ? MeldKind::Chi : kan ? MeldKind::Daiminkan : MeldKind::Pon;
  meld.tiles.assign(consumed.begin(), consumed.end());
  meld.tiles.push_back(pai);
  meld.relative = relative_seat(actor, target);
  seat.melds.push_back(meld);

  if (chi) {
    seat.takes.emplace_back(chi_notation(pai, {consumed[0], consumed[1]}));
  } else if (!kan) {
    seat.takes.emplace_back(pon_notation(meld.relative, pai, {consumed[0], consumed[1]}));
  } else {
    seat.takes.emplace_back(daiminkan_notation(meld.relative, pai, {consumed[0], consumed[1], consumed[2]}));
    seat.discards.emplace_back(Tile{});
    if (!due_kans_.empty()) return fail(what + " while an earlier kan's dora is still due");
    if (++kans_ > kMaxKans) return fail("a fifth kan");
    due_kans_.push_back(DueKan{});
  }
  actor_ = actor;
  drawn_.reset();
  phase_ = kan ? Phase::NeedRinshan : Phase::AfterCall;
  return true;
}

bool Checker::on_kakan(const event::Kakan& e) {
  if (phase_ != Phase::AfterDraw || e.actor != actor_) return fail("kakan out of turn");
  SeatState& seat = seats_[e.actor];
  auto same_tiles = [&](const Meld& m) {
    std::vector<Tile> a = m.tiles;
    std::vector<Tile> b(e.consumed.begin(), e.consumed.end());
    auto by_index = [](Tile x, Tile y) { return x.index() < y.index(); };
    std::sort(a.begin(), a.end(), by_index);
    std::sort(b.begin(), b.end(), by_index);
    return a == b;
  };
  auto pon = std::find_if(seat.melds.begin(), seat.melds.end(), [&](const Meld& m) {
    return m.kind == MeldKind::Pon && kind_of(m.tiles[0]) == kind_of(e.pai) && same_tiles(m);
  });
  if (pon == seat.melds.end()) return fail("kakan " + tiles_text(e.consumed) + " without that pon");
  if (!take_from_hand(e.actor, e.pai, "adds")) return false;
  pon->kind = MeldKind::Kakan;
  pon->tiles.push_back(e.pai);
  seat.discards.emplace_back(kakan_notation(pon->relative, e.pai, e.consumed));
  if (++kans_ > kMaxKans) return fail("a fifth kan");
  due_kans_.push_back(DueKan{});
  drawn_.reset();
  phase_ = Phase::AfterKakan;
  return true;
}

bool Checker::on_ankan(const event::Ankan& e) {
  if (phase_ != Phase::AfterDraw || e.actor != actor_) return fail("ankan out of turn");
  if (!due_kans_.empty()) return fail("ankan while an earlier kan's dora is still due");
  const std::uint8_t kind = kind_of(e.consumed[0]);
  for (Tile t : e.consumed) {
    if (kind_of(t) != kind) return fail("ankan mixes kinds");
    if (!take_from_hand(e.actor, t, "kans")) return false;
  }
  SeatState& seat = seats_[e.actor];
  Meld meld;
  meld.kind = MeldKind::Ankan;
  meld.tiles.assign(e.consumed.begin(), e.consumed.end());
  seat.melds.push_back(meld);
  seat.discards.emplace_back(ankan_notation(e.consumed));
  if (++kans_ > kMaxKans) return fail("a fifth kan");
  due_kans_.push_back(DueKan{true, false});
  dora_must_follow_ = true;
  drawn_.reset();
  phase_ = Phase::NeedRinshan;
  return true;
}

bool Checker::on_dora(const event::Dora& e) {
  if (due_kans_.empty()) return fail("dora without a kan");
  const DueKan kan = due_kans_.front();
  if (kan.closed && !dora_must_follow_) return fail("a closed kan's dora not right after it");
  if (!kan.closed && !kan.replaced) return fail("an open kan's dora before its replacement draw");
  if (dora_cursor_ >= hand_->dora_indicators.size()) return fail("dora beyond the log's indicators");
  if (e.dora_marker != hand_->dora_indicators[dora_cursor_])
    return fail("dora marker differs from the log's indicator");
  ++dora_cursor_;
  due_kans_.pop_front();
  dora_must_follow_ = false;
  after_dora_ = true;
  return true;
}

bool Checker::on_reach(const event::Reach& e) {
  if (phase_ != Phase::AfterDraw || e.actor != actor_) return fail("reach out of turn");
  SeatState& seat = seats_[e.actor];
  if (seat.riichi) return fail("second reach of one seat");
  if (!seat.closed()) return fail("reach with an open hand");
  seat.riichi = true;
  phase_ = Phase::AfterReach;
  return true;
}

bool Checker::on_reach_accepted(const event::ReachAccepted& e) {
  if (phase_ != Phase::AfterDiscard || unaccepted_riichi_ != e.actor) return fail("reach_accepted without its riichi");
  unaccepted_riichi_.reset();
  return true;
}

bool Checker::on_hora(const event::Hora& e) {
  if (!result_.win) return fail("hora in a hand the log ends without a win");
  if (wins_written_ >= result_.wins.size()) return fail("more hora events than the log's wins");
  const ExpectedWin& want = result_.wins[wins_written_];
  if (e.actor != want.winner || e.target != want.target) return fail("hora winner or target differs from the log");
  if (!e.deltas || *e.deltas != want.deltas) return fail("hora deltas differ from the log");
  if (!e.ura_markers || *e.ura_markers != hand_->ura_indicators) return fail("hora ura_markers differ from the log");
  if (phase_ == Phase::Result) {
    // A further win on the same tile.
  } else if (phase_ == Phase::AfterDraw) {
    if (e.actor != actor_ || e.target != actor_) return fail("a win right after a draw must be that seat's tsumo");
    if (result_.wins.size() != 1) return fail("several wins on one draw");
  } else if (phase_ == Phase::AfterDiscard) {
    if (e.target != discarder_ || e.actor == discarder_) return fail("ron that does not target the discarder");
  } else if (phase_ == Phase::AfterKakan) {
    if (e.target != actor_ || e.actor == actor_) return fail("robbing win that does not target the kakan");
  } else {
    return fail("hora out of turn");
  }
  if (phase_ == Phase::Result && e.target == e.actor) return fail("a second win on a draw");
  ++wins_written_;
  phase_ = Phase::Result;
  return true;
}

bool Checker::on_ryukyoku(const event::Ryukyoku& e) {
  if (result_.win) return fail("ryukyoku in a hand the log ends with a win");
  if (phase_ != Phase::AfterDraw && phase_ != Phase::AfterDiscard) return fail("ryukyoku out of turn");
  if (!e.deltas || *e.deltas != result_.draw_deltas) return fail("ryukyoku deltas differ from the log");
  if (result_.four_riichi) {
    const bool all_riichi = std::all_of(seats_.begin(), seats_.end(), [](const SeatState& s) { return s.riichi; });
    if (!all_riichi || unaccepted_riichi_) {
      return fail("four-riichi draw without four accepted riichi");
    }
  }
  draw_written_ = true;
  phase_ = Phase::Result;
  return true;
}

bool Checker::check_end(const JsonHand& hand) {
  if (result_.win ? wins_written_ != result_.wins.size() : !draw_written_) {
    return fail("end_kyoku before the log's result was written");
  }
  if (dora_must_follow_) return fail("end_kyoku right after an ankan");
  for (std::uint8_t k = 0; k < kKindCount; ++k) {
    if (seen_kinds_[k] > 4) return fail("more than four copies of " + std::string(tile_name(tile_at(k))));
  }
  for (std::uint8_t red : kRedFiveIndex) {
    if (seen_tiles_[red] > 1) return fail("more than one " + std::string(tile_name(tile_at(red))));
  }
  for (std::size_t s = 0; s < 4; ++s) {
    const auto compare = [&](const std::vector<ActionItem>& rebuilt, const std::vector<ActionItem>& logged,
                             std::string_view which) {
      const std::size_t n = std::min(rebuilt.size(), logged.size());
      for (std::size_t i = 0; i < n; ++i) {
        if (rebuilt[i] != logged[i]) {
          return fail("seat " + std::to_string(s) + " " + std::string(which) + " entry " + std::to_string(i) +
                      ": rebuilt " + item_text(rebuilt[i]) + ", log " + item_text(logged[i]));
        }
      }
      if (rebuilt.size() != logged.size()) {
        return fail("seat " + std::to_string(s) + " " + std::string(which) + ": rebuilt " +
                    std::to_string(rebuilt.size()) + " entries, log " + std::to_string(logged.size()));
      }
      return true;
    };
    if (!compare(seats_[s].takes, hand.seats[s].takes, "take")) return false;
    if (!compare(seats_[s].discards, hand.seats[s].discards, "discard")) return false;
  }
  return true;
}

}  // namespace

std::expected<void, ReplayProblem> check_replay(std::span<const Event> events, const JsonLog& log) {
  return Checker(events, log).run();
}

std::string describe_event(const Event& event) {
  std::string text(event_type_name(event));
  std::visit(
      Overloaded{
          [&](const event::Tsumo& e) { text += " " + std::to_string(e.actor) + " " + std::string(tile_name(e.pai)); },
          [&](const event::Dahai& e) {
            text +=
                " " + std::to_string(e.actor) + " " + std::string(tile_name(e.pai)) + (e.tsumogiri ? " tsumogiri" : "");
          },
          [&](const event::Chi& e) {
            text += " " + std::to_string(e.actor) + "<" + std::to_string(e.target) + " " +
                    std::string(tile_name(e.pai)) + tiles_text(e.consumed);
          },
          [&](const event::Pon& e) {
            text += " " + std::to_string(e.actor) + "<" + std::to_string(e.target) + " " +
                    std::string(tile_name(e.pai)) + tiles_text(e.consumed);
          },
          [&](const event::Daiminkan& e) {
            text += " " + std::to_string(e.actor) + "<" + std::to_string(e.target) + " " +
                    std::string(tile_name(e.pai)) + tiles_text(e.consumed);
          },
          [&](const event::Kakan& e) {
            text += " " + std::to_string(e.actor) + " " + std::string(tile_name(e.pai)) + tiles_text(e.consumed);
          },
          [&](const event::Ankan& e) { text += " " + std::to_string(e.actor) + " " + tiles_text(e.consumed); },
          [&](const event::Dora& e) { text += " " + std::string(tile_name(e.dora_marker)); },
          [&](const event::Reach& e) { text += " " + std::to_string(e.actor); },
          [&](const event::ReachAccepted& e) { text += " " + std::to_string(e.actor); },
          [&](const event::Hora& e) { text += " " + std::to_string(e.actor) + "<" + std::to_string(e.target); },
          [](const auto&) {},
      },
      event);
  return text;
}

}  // namespace kiroku::sim
