// A replay checker that passes everything proves nothing: these streams are
// built by hand, and each broken one must be refused for its own reason.
#include "sim/replay_checker.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "sim/game_simulator.h"
#include "sim/sim_rng.h"

#include "kiroku/tile_code.h"

namespace kiroku::sim {
namespace {

using namespace kiroku::event;

Tile t(std::uint8_t code) { return *tile_from_code(code); }

StartingHand hand_of(std::initializer_list<std::uint8_t> codes) {
  StartingHand hand{};
  std::size_t i = 0;
  for (std::uint8_t c : codes) hand[i++] = t(c);
  return hand;
}

std::vector<ActionItem> items(std::initializer_list<ActionItem> list) { return list; }

JsonValue number(std::uint64_t n) { return JsonValue{n}; }

// One hand and its events, as a converter should give them.
struct Game {
  JsonLog log;
  std::vector<Event> events;
};

Game wrap(JsonHand hand, std::vector<Event> hand_events) {
  Game game;
  game.log.name = {"a", "b", "c", "d"};
  game.log.rule = Rule{"般南喰赤", 1, 0, 0, 0};
  StartKyoku start;
  start.bakaze = t(41);
  start.dora_marker = hand.dora_indicators.at(0);
  start.kyoku = 1;
  start.scores = hand.scores;
  for (std::size_t s = 0; s < 4; ++s) start.tehais[s] = hand.seats[s].hand;
  game.events.push_back(StartGame{game.log.name, 0, true});
  game.events.push_back(start);
  for (Event& e : hand_events) game.events.push_back(std::move(e));
  game.events.push_back(EndKyoku{});
  game.events.push_back(EndGame{});
  game.log.log.push_back(std::move(hand));
  return game;
}

// Seat 0 lets a drawn East go, seat 1 pons it and discards West, seat 2
// declares riichi on its drawn 9p, seat 3 lets its drawn 5s go and seat 0
// wins on it.
Game pon_riichi_ron() {
  JsonHand hand;
  hand.scores = {25000, 25000, 25000, 25000};
  hand.dora_indicators = {t(33)};
  hand.seats[0].hand = hand_of({11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22, 23, 24});
  hand.seats[1].hand = hand_of({31, 32, 33, 34, 35, 36, 37, 38, 39, 41, 41, 42, 43});
  hand.seats[2].hand = hand_of({25, 26, 27, 28, 29, 44, 44, 45, 45, 46, 46, 47, 47});
  hand.seats[3].hand = hand_of({31, 32, 33, 34, 36, 37, 38, 39, 42, 43, 44, 45, 46});
  hand.seats[0].takes = items({t(41)});
  hand.seats[0].discards = items({std::uint8_t{60}});
  hand.seats[1].takes = items({std::string("p414141")});
  hand.seats[1].discards = items({t(43)});
  hand.seats[2].takes = items({t(29)});
  hand.seats[2].discards = items({std::string("r60")});
  hand.seats[3].takes = items({t(35)});
  hand.seats[3].discards = items({std::uint8_t{60}});
  hand.result = {std::string("和了"), Scores{3000, 0, 0, -2000},
                 std::vector<JsonValue>{number(0), number(3), number(0), JsonValue{std::string("2000点")}}};
  return wrap(std::move(hand), {
                                   Tsumo{0, t(41)},
                                   Dahai{0, t(41), true},
                                   Pon{1, 0, t(41), {t(41), t(41)}},
                                   Dahai{1, t(43), false},
                                   Tsumo{2, t(29)},
                                   Reach{2},
                                   Dahai{2, t(29), true},
                                   ReachAccepted{2},
                                   Tsumo{3, t(35)},
                                   Dahai{3, t(35), true},
                                   Hora{0, 3, Scores{3000, 0, 0, -2000}, std::vector<Tile>{}},
                               });
}

// Seat 0 draws 2m and makes a closed kan of 1m, draws 3m from the dead wall
// and lets it go; seat 1 makes an open kan of it, draws 4m from the dead
// wall and lets it go; seat 2 lets its drawn 5m go and the hand is drawn.
Game two_kans() {
  JsonHand hand;
  hand.scores = {25000, 25000, 25000, 25000};
  hand.dora_indicators = {t(45), t(46), t(44)};
  hand.seats[0].hand = hand_of({11, 11, 11, 11, 21, 22, 23, 24, 25, 26, 27, 28, 29});
  hand.seats[1].hand = hand_of({13, 13, 13, 31, 32, 33, 34, 35, 36, 37, 38, 39, 41});
  hand.seats[2].hand = hand_of({16, 17, 18, 19, 31, 32, 33, 34, 36, 37, 38, 39, 42});
  hand.seats[3].hand = hand_of({16, 17, 18, 19, 41, 42, 43, 44, 45, 46, 47, 47, 47});
  hand.seats[0].takes = items({t(12), t(13)});
  hand.seats[0].discards = items({std::string("111111a11"), std::uint8_t{60}});
  hand.seats[1].takes = items({std::string("m13131313"), t(14)});
  hand.seats[1].discards = items({Tile{}, std::uint8_t{60}});
  hand.seats[2].takes = items({t(15)});
  hand.seats[2].discards = items({std::uint8_t{60}});
  hand.result = {std::string("流局"), Scores{0, 0, 0, 0}};
  return wrap(std::move(hand), {
                                   Tsumo{0, t(12)},
                                   Ankan{0, {t(11), t(11), t(11), t(11)}},
                                   Dora{t(46)},
                                   Tsumo{0, t(13)},
                                   Dahai{0, t(13), true},
                                   Daiminkan{1, 0, t(13), {t(13), t(13), t(13)}},
                                   Tsumo{1, t(14)},
                                   Dora{t(44)},
                                   Dahai{1, t(14), true},
                                   Tsumo{2, t(15)},
                                   Dahai{2, t(15), true},
                                   Ryukyoku{Scores{0, 0, 0, 0}},
                               });
}

// The first property game with a four-riichi draw.
Game four_riichi_game() {
  for (std::uint64_t seed = 1; seed <= 300; ++seed) {
    SimulatedGame game = simulate_game(seed, property_settings(seed));
    for (const JsonHand& hand : game.log.log) {
      if (hand.result.at(0) == ResultItem(std::string("四家立直")))
        return {std::move(game.log), std::move(game.events)};
    }
  }
  ADD_FAILURE() << "no four-riichi draw in the property games";
  return {};
}

// Index of the n-th event (from 0) for which `match` holds.
template <class Match>
std::size_t find_event(const std::vector<Event>& events, Match match, int n = 0) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (match(events[i]) && n-- == 0) return i;
  }
  ADD_FAILURE() << "no such event";
  return 0;
}

template <class Kind>
std::size_t find_kind(const std::vector<Event>& events, int n = 0) {
  return find_event(events, [](const Event& e) { return std::holds_alternative<Kind>(e); }, n);
}

void expect_refused(const Game& game, const std::string& reason) {
  const auto checked = check_replay(game.events, game.log);
  ASSERT_FALSE(checked) << "accepted, expected: " << reason;
  EXPECT_NE(checked.error().message.find(reason), std::string::npos) << checked.error().message;
}

TEST(replay_checker_test, accepts_hand_built_legal_hands) {
  for (const Game& game : {pon_riichi_ron(), two_kans()}) {
    const auto checked = check_replay(game.events, game.log);
    EXPECT_TRUE(checked) << checked.error().message;
  }
}

TEST(replay_checker_test, refuses_tiles_the_hand_does_not_hold) {
  Game game = pon_riichi_ron();
  std::get<Dahai>(game.events[find_kind<Dahai>(game.events, 1)]).pai = t(44);
  expect_refused(game, "or not at all");

  game = pon_riichi_ron();
  std::get<Pon>(game.events[find_kind<Pon>(game.events)]).consumed = {t(41), t(42)};
  expect_refused(game, "mixes kinds");
}

TEST(replay_checker_test, refuses_wrong_tsumogiri_flags) {
  Game game = pon_riichi_ron();
  std::get<Dahai>(game.events[find_kind<Dahai>(game.events, 0)]).tsumogiri = false;
  expect_refused(game, "held only as the drawn tile");

  game = pon_riichi_ron();
  std::get<Dahai>(game.events[find_kind<Dahai>(game.events, 1)]).tsumogiri = true;  // right after a pon
  expect_refused(game, "not just drawn");
}

TEST(replay_checker_test, refuses_impossible_turn_order) {
  Game game = pon_riichi_ron();
  std::get<Pon>(game.events[find_kind<Pon>(game.events)]).target = 2;
  expect_refused(game, "target");

  game = pon_riichi_ron();
  std::get<Tsumo>(game.events[find_kind<Tsumo>(game.events, 2)]).actor = 0;
  expect_refused(game, "not next after the discarder");

  game = pon_riichi_ron();
  game.events.erase(game.events.begin() + static_cast<std::ptrdiff_t>(find_kind<ReachAccepted>(game.events)));
  expect_refused(game, "not accepted");

  game = pon_riichi_ron();
  std::get<Hora>(game.events[find_kind<Hora>(game.events)]).target = 2;
  expect_refused(game, "target");

  // The fourth riichi stands before the draw it brings about.
  game = four_riichi_game();
  ASSERT_TRUE(check_replay(game.events, game.log));
  std::size_t accepted = 0;
  while (accepted + 1 < game.events.size() && !(std::holds_alternative<ReachAccepted>(game.events[accepted]) &&
                                                std::holds_alternative<Ryukyoku>(game.events[accepted + 1]))) {
    ++accepted;
  }
  ASSERT_LT(accepted + 1, game.events.size());
  game.events.erase(game.events.begin() + static_cast<std::ptrdiff_t>(accepted));
  expect_refused(game, "four-riichi draw without four accepted riichi");
}

TEST(replay_checker_test, refuses_results_that_differ_from_the_log) {
  Game game = pon_riichi_ron();
  std::get<Hora>(game.events[find_kind<Hora>(game.events)]).deltas = Scores{2000, 0, 0, -2000};
  expect_refused(game, "deltas");

  game = two_kans();
  std::get<Ryukyoku>(game.events[find_kind<Ryukyoku>(game.events)]).deltas.reset();
  expect_refused(game, "deltas");
}

TEST(replay_checker_test, refuses_streams_that_do_not_rebuild_the_log) {
  Game game = pon_riichi_ron();
  game.log.log[0].seats[3].discards = items({t(35)});
  expect_refused(game, "seat 3 discard entry 0: rebuilt #60, log 35");

  game = two_kans();
  game.log.log[0].seats[1].discards = items({std::uint8_t{60}});  // no place kept for the kan
  expect_refused(game, "seat 1 discard entry 0");
}

TEST(replay_checker_test, refuses_misplaced_dora) {
  Game game = two_kans();
  const std::size_t closed = find_kind<Dora>(game.events, 0);
  std::swap(game.events[closed], game.events[closed + 1]);  // after the replacement draw
  expect_refused(game, "no dora right after the ankan");

  game = two_kans();
  const std::size_t open = find_kind<Dora>(game.events, 1);
  std::swap(game.events[open - 1], game.events[open]);  // before the replacement draw
  expect_refused(game, "before its replacement draw");

  game = two_kans();
  game.events.erase(game.events.begin() + static_cast<std::ptrdiff_t>(find_kind<Dora>(game.events, 1)));
  expect_refused(game, "dora is missing");

  game = two_kans();
  std::get<Dora>(game.events[find_kind<Dora>(game.events, 1)]).dora_marker = t(45);
  expect_refused(game, "differs from the log's indicator");
}

// Simulated games are long and full of calls, kans and riichi; any single
// lost or altered event must be noticed somewhere.
TEST(replay_checker_test, refuses_every_single_damage_to_simulated_games) {
  Rng rng(7);
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    const SimulatedGame game = simulate_game(seed, property_settings(seed));
    for (int round = 0; round < 20; ++round) {
      std::vector<Event> events = game.events;
      const std::size_t at = rng.below(events.size());
      std::string damage = "dropped " + describe_event(events[at]);
      if (auto* dahai = std::get_if<Dahai>(&events[at]); dahai && rng.chance(0.5)) {
        dahai->tsumogiri = !dahai->tsumogiri;
        damage = "flipped " + describe_event(events[at]);
      } else if (auto* tsumo = std::get_if<Tsumo>(&events[at]); tsumo && rng.chance(0.5)) {
        tsumo->pai = *Tile::from_index(static_cast<std::uint8_t>((tsumo->pai.index() + 1) % 34));
        damage = "changed the tile of " + describe_event(events[at]);
      } else {
        events.erase(events.begin() + static_cast<std::ptrdiff_t>(at));
      }
      EXPECT_FALSE(check_replay(events, game.log)) << "seed " << seed << ": " << damage;
    }
  }
}

}  // namespace
}  // namespace kiroku::sim
