// What a log holds, counted from its hand entries alone: calls, kans,
// riichi and the ways its hands end.  Picks seeds that show every feature,
// and tells what a property run has covered.
#pragma once

#include <cstddef>
#include <string>

#include "kiroku/json_log.h"

namespace kiroku::sim {

struct GameFeatures {
  std::size_t hands = 0;
  std::size_t chi = 0;
  std::size_t pon = 0;
  std::size_t daiminkan = 0;
  std::size_t kakan = 0;
  std::size_t ankan = 0;
  std::size_t riichi = 0;
  std::size_t tsumogiri = 0;  // discards of the drawn tile, riichi ones included
  std::size_t ron = 0;        // wins on a discard or a robbed kan
  std::size_t double_ron = 0;
  std::size_t robbed_kan = 0;
  std::size_t tsumo = 0;
  std::size_t exhaustive_draws = 0;   // "流局", "全員聴牌", "全員不聴"
  std::size_t abortive_draws = 0;     // every other label
  std::size_t four_riichi_draws = 0;  // "四家立直", among the abortive draws
  std::size_t red_fives_called = 0;   // red fives in call or kan notation

  GameFeatures& operator+=(const GameFeatures& other);
  // Chi, pon, the three kans, riichi, ron, tsumo and an exhaustive draw.
  bool covers_everyday_play() const;
  std::string summary() const;
};

GameFeatures count_features(const JsonLog& log);

}  // namespace kiroku::sim
