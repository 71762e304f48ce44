// Whether a hand can end in the draw its result names, judged from its play:
// an exhaustive draw only once the live wall is used up, nine terminals only
// on a seat's first draw before any call, and so on.  A log that names a
// draw its play could not bring about is not a game.
#pragma once

#include <bit>  // popcount
#include <cstdint>
#include <optional>
#include <string_view>

#include "kiroku/event.h"
#include "kiroku/prepared_game.h"

namespace kiroku::conv {

// 136 tiles: 52 dealt, 14 in the dead wall, the rest drawn one by one; a
// kan's replacement comes from the dead wall, which takes the live wall's
// last tile in its place, so the draws of a hand that runs the wall out
// are these many whatever the kans.
inline constexpr std::uint16_t kLiveWallDraws = 70;

// What a hand's play has been so far, as the hand writer is told it.
class PlayTally {
 public:
  void draw(event::Seat seat) noexcept {
    ++draws_;
    ++draws_by_seat_[seat];
    last_ = Step::Draw;
    last_seat_ = seat;
  }
  void discard(Tile tile, bool declares_riichi, event::Seat seat) noexcept {
    if (discards_ == 0) first_tile_ = tile;
    if (discards_ < kFourWindsDiscards && tile == first_tile_) ++first_tiles_alike_;
    ++discards_;
    if (declares_riichi) riichi_seats_ |= static_cast<std::uint8_t>(1U << seat);
    last_ = declares_riichi ? Step::RiichiDiscard : Step::Discard;
  }
  void call() noexcept {
    ++melds_;
    last_ = Step::Call;
  }
  void kan(event::Seat seat, bool open) noexcept {
    ++melds_;
    ++kans_;
    kan_seats_ |= static_cast<std::uint8_t>(1U << seat);
    last_ = open ? Step::Call : Step::Kan;
  }

  // Why the play cannot end in a draw of `kind`, or nothing when it can.
  std::optional<std::string_view> impossible(DrawKind kind) const noexcept;

 private:
  static constexpr std::uint16_t kFourWindsDiscards = 4;

  enum class Step : std::uint8_t { None, Draw, Discard, RiichiDiscard, Call, Kan };

  bool after_discard() const noexcept { return last_ == Step::Discard || last_ == Step::RiichiDiscard; }

  std::uint16_t draws_ = 0;  // from the wall, replacement draws among them
  std::array<std::uint8_t, kSeatCount> draws_by_seat_{};
  std::uint16_t discards_ = 0;
  Tile first_tile_;                     // of the first discard
  std::uint8_t first_tiles_alike_ = 0;  // discards among the first four of that tile
  std::uint8_t melds_ = 0;              // calls and kans of every seat
  std::uint8_t kans_ = 0;
  std::uint8_t kan_seats_ = 0;     // bit s: seat s made a kan
  std::uint8_t riichi_seats_ = 0;  // bit s: seat s declared riichi
  Step last_ = Step::None;
  event::Seat last_seat_ = 0;  // of the last draw
};

}  // namespace kiroku::conv
