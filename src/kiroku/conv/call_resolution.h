// Who moves after a discard, and how the guesses are made where the lists
// cannot tell.
//
// The log shows a call only as an entry of the caller's take list, with the
// tile and the seat it came from, never when it happened.  When the
// discarder will throw the same tile again later in the hand, a waiting call
// fits this discard and a later one alike: that is an ambiguous call, and
// some answer has to be guessed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "kiroku/event.h"
#include "kiroku/prepared_game.h"
#include "kiroku/tile.h"

namespace kiroku::conv {

// Answers ambiguous calls for one walk of a hand.
class CallAnswers {
 public:
  // Whether the waiting call takes this discard of `tile` (true) or is left
  // for a later discard of the same tile (false).  `either_way` says both
  // answers name the same seat (the best caller is the seat after the
  // discarder), so the walk goes on the same whatever is answered.
  virtual bool call_now(Tile tile, bool either_way) = 0;

 protected:
  CallAnswers() = default;
  CallAnswers(const CallAnswers&) = default;
  CallAnswers& operator=(const CallAnswers&) = default;
  ~CallAnswers() = default;
};

// The retry rule's memory of one hand: a cell per tile that cycles
// absent -> taken -> skipped -> absent at each ambiguous call of that tile,
// answering "call now" on the way to taken and "later" otherwise.  It is
// kept across the failed attempts of the hand, so each attempt starts from
// the guesses the last one left.  Keyed by tile alone: different discarders
// and callers of the same tile share a cell.
class CallMemory final : public CallAnswers {
 public:
  enum class Cell : std::uint8_t { Absent, Taken, Skipped };

  // Every cell as one value, to tell memory states apart (2 bits a cell).
  struct Key {
    std::uint64_t low = 0;   // tiles 0..31
    std::uint64_t high = 0;  // tiles 32..37
    friend bool operator==(const Key&, const Key&) = default;
  };

  bool call_now(Tile tile, bool either_way) override;

  bool empty() const noexcept;
  Cell cell(Tile tile) const noexcept { return cells_[tile.index()]; }
  Key key() const noexcept;
  // Ambiguous calls answered since the memory was made whose answer could
  // change the walk (not either_way).  With none, every attempt walks the
  // same way whatever is answered.
  std::size_t choices() const noexcept { return choices_; }

 private:
  std::array<Cell, Tile::kCount> cells_{};
  std::size_t choices_ = 0;
};

struct CallMemoryKeyHash {
  std::size_t operator()(const CallMemory::Key& key) const noexcept {
    return std::hash<std::uint64_t>{}(key.low * 0x9E3779B97F4A7C15ULL ^ key.high);
  }
};

// What a chi, pon or daiminkan claims: the tile, the seat it is claimed
// from, and the call's rank when several seats want the same discard.
struct CallClaim {
  event::Seat target = 0;
  Tile pai;
  std::int8_t rank = 0;  // pon 1, chi 0, daiminkan -1
};

// The claim of a call; nothing for any other entry.  Inline: the walk asks
// it of every take it reads.
inline std::optional<CallClaim> call_claim(const ListEntry& entry) noexcept {
  // A pon beats a chi, and a chi beats a daiminkan: the claim order the log
  // follows, which puts the kan below the chi, not level with the pon.
  switch (entry.kind) {
    case ListEntry::Kind::Pon: return CallClaim{entry.target, entry.pai, 1};
    case ListEntry::Kind::Chi: return CallClaim{entry.target, entry.pai, 0};
    case ListEntry::Kind::Daiminkan: return CallClaim{entry.target, entry.pai, -1};
    default: return std::nullopt;
  }
}

// What the caller decision reads from the walk, right after a discard.
struct CallSituation {
  event::Seat discarder = 0;
  Tile last_tile;  // the tile of the discard just walked
  // Each seat's next unread take entry; null when its take list is read.
  std::array<const ListEntry*, kSeatCount> next_takes{};
  bool discards_left = false;       // the discarder's discard list has an unread entry
  std::int32_t same_tile_left = 0;  // the discarder's "dahai" of last_tile not yet walked
};

// The seat that moves next: the best of the seats whose next take entry is a
// call of this very discard (pon over chi over daiminkan, the higher seat on
// a tie), else the seat after the discarder.  When the discarder will throw
// the same tile again, `answers` decides between the two.  Reads at most
// three entries; never consumes one.
event::Seat resolve_caller(const CallSituation& situation, CallAnswers& answers);

}  // namespace kiroku::conv
