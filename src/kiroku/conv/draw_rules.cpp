#include "kiroku/conv/draw_rules.h"

namespace kiroku::conv {

namespace {

// The four winds are tile indices 27 to 30: E, S, W, N.
constexpr std::uint8_t kFirstWind = 27;
constexpr std::uint8_t kLastWind = 30;

}  // namespace

std::optional<std::string_view> PlayTally::impossible(DrawKind kind) const noexcept {
  switch (kind) {
    case DrawKind::Exhaustive:
    case DrawKind::NagashiMangan:
      // The last tile's discard ends the hand; nobody won on it.
      if (draws_ != kLiveWallDraws) return "an exhaustive draw before the live wall is used up";
      if (!after_discard()) return "an exhaustive draw that does not follow the last tile's discard";
      return std::nullopt;
    case DrawKind::NineTerminals:
      if (last_ != Step::Draw || draws_by_seat_[last_seat_] != 1 || melds_ != 0) {
        return "nine terminals declared other than on a seat's first draw before any call";
      }
      return std::nullopt;
    case DrawKind::FourRiichi:
      if (last_ != Step::RiichiDiscard || std::popcount(riichi_seats_) != 4) {
        return "a four-riichi draw that does not follow the fourth riichi's discard";
      }
      return std::nullopt;
    case DrawKind::FourKans:
      if (kans_ < 4 || std::popcount(kan_seats_) < 2 || !after_discard()) {
        return "a four-kan draw without four kans by more than one seat";
      }
      return std::nullopt;
    case DrawKind::FourWinds: {
      const std::uint8_t wind = first_tile_.index();
      if (discards_ != kFourWindsDiscards || first_tiles_alike_ != kFourWindsDiscards || melds_ != 0 ||
          wind < kFirstWind || wind > kLastWind) {
        return "a four-winds draw that does not follow four first discards of one wind";
      }
      return std::nullopt;
    }
    case DrawKind::TripleRon:
      // Three seats claim a discard, or an added kan they rob.
      if (!after_discard() && last_ != Step::Kan) return "a triple ron on no discard";
      return std::nullopt;
    case DrawKind::Other: return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace kiroku::conv
