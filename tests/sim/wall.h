// The 136 tiles of one hand in the order they are dealt and drawn: four
// starting hands of 13, the live wall of 70, and the dead wall of 14 at the
// end (five dora indicators, the five ura indicators under them, four
// replacement tiles for kans).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kiroku/tile.h"
#include "sim/sim_rng.h"

namespace kiroku::sim::detail {

class Wall {
 public:
  static constexpr std::size_t kSize = 136;

  // A shuffled wall with one red five per suit.
  explicit Wall(Rng& rng);

  // Rigging, before the deal: puts a copy of `tile` (or `count` tiles of a
  // kind, plain fives before the red one) into a place of `seat`'s starting
  // hand that no earlier call rigged, from anywhere outside the rigged
  // places.  False when no such copy or place is left.
  bool give(std::size_t seat, Tile tile, Rng& rng);
  bool give_kind(std::size_t seat, std::uint8_t kind, int count, Rng& rng);

  std::vector<Tile> starting_hand(std::size_t seat) const;

  std::size_t live_left() const { return live_end_ - live_next_; }
  std::size_t drawn() const { return live_next_ - kLiveStart + rinshan_used_; }
  Tile draw();
  // A kan's replacement tile; the live wall gives up its last tile to the
  // dead wall in exchange.
  Tile draw_replacement();

  Tile dora_indicator(std::size_t i) const { return tiles_[kDoraStart + i]; }
  std::vector<Tile> dora_indicators(std::size_t count) const;
  std::vector<Tile> ura_indicators(std::size_t count) const;

 private:
  static constexpr std::size_t kLiveStart = 52;
  static constexpr std::size_t kDeadStart = 122;
  static constexpr std::size_t kDoraStart = kDeadStart;
  static constexpr std::size_t kUraStart = kDeadStart + 5;
  static constexpr std::size_t kReplacementStart = kDeadStart + 10;

  std::vector<Tile> tiles_;
  std::array<bool, kSize> rigged_{};
  std::size_t live_next_ = kLiveStart;
  std::size_t live_end_ = kDeadStart;
  std::size_t rinshan_used_ = 0;
};

}  // namespace kiroku::sim::detail
