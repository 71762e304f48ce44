#include "sim/wall.h"

#include <utility>

#include "sim/sim_tiles.h"

namespace kiroku::sim::detail {

Wall::Wall(Rng& rng) {
  for (std::uint8_t kind = 0; kind < kKindCount; ++kind) {
    for (int copy = 0; copy < 4; ++copy) tiles_.push_back(tile_at(kind));
  }
  for (int suit = 0; suit < 3; ++suit)
    tiles_[static_cast<std::size_t>((suit * 9 + 4) * 4)] = tile_at(kRedFiveIndex[suit]);
  rng.shuffle(tiles_);
}

bool Wall::give(std::size_t seat, Tile tile, Rng& rng) {
  const std::size_t begin = 13 * static_cast<std::size_t>(seat);
  const std::size_t end = begin + 13;
  for (std::size_t p = begin; p < end; ++p) {
    if (!rigged_[p] && tiles_[p] == tile) {
      rigged_[p] = true;
      return true;
    }
  }
  std::vector<std::size_t> free_places;
  for (std::size_t p = begin; p < end; ++p) {
    if (!rigged_[p]) free_places.push_back(p);
  }
  if (free_places.empty()) return false;
  for (std::size_t p = 0; p < kSize; ++p) {
    if ((p < begin || p >= end) && !rigged_[p] && tiles_[p] == tile) {
      const std::size_t to = rng.pick(free_places);
      std::swap(tiles_[p], tiles_[to]);
      rigged_[to] = true;
      return true;
    }
  }
  return false;
}

bool Wall::give_kind(std::size_t seat, std::uint8_t kind, int count, Rng& rng) {
  for (int i = 0; i < count; ++i) {
    const bool five = is_suited_kind(kind) && number_of_kind(kind) == 5;
    if (give(seat, tile_at(kind), rng)) continue;
    if (five && give(seat, tile_at(kRedFiveIndex[suit_of_kind(kind)]), rng)) continue;
    return false;
  }
  return true;
}

std::vector<Tile> Wall::starting_hand(std::size_t seat) const {
  const auto begin = tiles_.begin() + static_cast<std::ptrdiff_t>(13 * seat);
  return {begin, begin + 13};
}

Tile Wall::draw() { return tiles_[live_next_++]; }

Tile Wall::draw_replacement() {
  --live_end_;
  return tiles_[kReplacementStart + rinshan_used_++];
}

std::vector<Tile> Wall::dora_indicators(std::size_t count) const {
  const auto begin = tiles_.begin() + kDoraStart;
  return {begin, begin + static_cast<std::ptrdiff_t>(count)};
}

std::vector<Tile> Wall::ura_indicators(std::size_t count) const {
  const auto begin = tiles_.begin() + kUraStart;
  return {begin, begin + static_cast<std::ptrdiff_t>(count)};
}

}  // namespace kiroku::sim::detail
