#include "kiroku/prepare/xml_preparation.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "kiroku/prepare/meld_code.h"
#include "kiroku/tile_id.h"

namespace kiroku {

namespace {

using event::Seat;

DrawKind draw_kind_of(XmlDrawEnd::Kind kind) noexcept {
  switch (kind) {
    case XmlDrawEnd::Kind::Exhaustive: return DrawKind::Exhaustive;
    case XmlDrawEnd::Kind::NineTerminals: return DrawKind::NineTerminals;
    case XmlDrawEnd::Kind::FourRiichi: return DrawKind::FourRiichi;
    case XmlDrawEnd::Kind::TripleRon: return DrawKind::TripleRon;
    case XmlDrawEnd::Kind::FourKans: return DrawKind::FourKans;
    case XmlDrawEnd::Kind::FourWinds: return DrawKind::FourWinds;
    case XmlDrawEnd::Kind::NagashiMangan: return DrawKind::NagashiMangan;
  }
  return DrawKind::Other;
}

class HandPreparation {
 public:
  HandPreparation(const XmlHand& hand, bool red_fives) noexcept : hand_(hand), red_fives_(red_fives) {}

  Tile tile(TileId id) const noexcept { return tile_of_id(id, red_fives_); }

  // Tiles in id order, except that a red five (copy 0 of its five) comes
  // after the plain fives of its suit, as Tenhou's own lists order tiles.
  template <std::size_t N>
  std::array<Tile, N> tiles_in_order(std::array<TileId, N> ids) const {
    std::sort(ids.begin(), ids.end());
    if (red_fives_) {
      for (std::size_t i = N; i-- > 0;) {
        if (!is_red_five_id(ids[i])) continue;
        for (std::size_t k = i; k + 1 < N && ids[k + 1] / 4 == ids[i] / 4; ++k) std::swap(ids[k], ids[k + 1]);
      }
    }
    std::array<Tile, N> out;
    for (std::size_t i = 0; i < N; ++i) out[i] = tile(ids[i]);
    return out;
  }

  void tiles_of(const std::vector<TileId>& ids, std::vector<Tile>& out) const {
    out.clear();
    out.reserve(ids.size());
    for (const TileId id : ids) out.push_back(tile(id));
  }

  // The event `seat`'s meld stands for.
  Event meld_event(Seat seat, const Meld& meld) const {
    if (meld.kind == Meld::Kind::Ankan) return event::Ankan{.actor = seat, .consumed = tiles_in_order(meld.tiles)};
    std::array<TileId, 3> own{};
    std::size_t own_count = 0;
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (meld.tiles[i] != meld.claimed) own[own_count++] = meld.tiles[i];
    }
    const auto target = static_cast<Seat>((seat + meld.from) % kSeatCount);
    const Tile claimed = tile(meld.claimed);
    switch (meld.kind) {
      case Meld::Kind::Daiminkan:
        return event::Daiminkan{.actor = seat, .target = target, .pai = claimed, .consumed = tiles_in_order(own)};
      case Meld::Kind::Kakan: {
        // The pon's tiles as its notation lists them: the claimed one where
        // the seat it came from sits (first for the seat before, last for
        // the seat after).
        const auto sorted = tiles_in_order(std::array<TileId, 2>{own[0], own[1]});
        const std::size_t claimed_at = meld.from == 3 ? 0 : meld.from == 2 ? 1 : 2;
        std::array<Tile, 3> consumed{};
        for (std::size_t i = 0, k = 0; i < consumed.size(); ++i) consumed[i] = i == claimed_at ? claimed : sorted[k++];
        return event::Kakan{.actor = seat, .pai = tile(meld.added), .consumed = consumed};
      }
      default: break;
    }
    const auto consumed = tiles_in_order(std::array<TileId, 2>{own[0], own[1]});
    if (meld.kind == Meld::Kind::Chi) {
      return event::Chi{.actor = seat, .target = target, .pai = claimed, .consumed = consumed};
    }
    return event::Pon{.actor = seat, .target = target, .pai = claimed, .consumed = consumed};
  }

  HandResult result() const {
    const bool aborted =
        std::ranges::any_of(hand_.steps, [](const XmlStep& step) { return step.kind == XmlStep::Kind::Abort; });
    if (aborted) {
      return Draw{.deltas = hand_.draw_end.deltas, .kind = draw_kind_of(hand_.draw_end.kind)};
    }
    std::vector<Win> wins;
    wins.reserve(hand_.wins.size());
    for (const XmlWin& win : hand_.wins)
      wins.push_back(Win{.deltas = win.deltas, .winner = win.winner, .target = win.from});
    return wins;
  }

  std::expected<void, ConversionError> play(std::size_t position, RecordedPlay& out) const {
    out.indicator_ids = hand_.dora_indicators;
    out.starting_ids = hand_.starting_hands;
    out.steps.clear();
    out.steps.reserve(hand_.steps.size());
    out.melds.clear();
    for (const XmlStep& step : hand_.steps) {
      PlayStep& prepared = out.steps.emplace_back(PlayStep{
          .kind = step.kind, .seat = step.seat, .tile_id = step.tile, .tile = tile(step.tile), .index = step.index});
      if (step.kind != XmlStep::Kind::Meld) continue;
      const std::uint16_t code = hand_.call_codes[step.index];
      const auto meld = decode_meld_code(code);
      if (!meld) {
        ConversionError error = ConversionError::of(ConversionErrorKind::InvalidCallCode, hand_.id, step.seat);
        error.hand_position = position;
        error.number = code;
        return std::unexpected(std::move(error));
      }
      prepared.index = static_cast<std::uint32_t>(out.melds.size());
      out.melds.push_back(PreparedMeld{.meld = *meld, .event = meld_event(step.seat, *meld)});
    }
    return {};
  }

 private:
  const XmlHand& hand_;
  const bool red_fives_;
};

}  // namespace

std::expected<PreparedGame, PrepareError> prepare_xml_game(XmlGame&& game) {
  if ((game.game_type & game_type::kThreePlayer) != 0) return std::unexpected(PrepareError::ThreePlayerGame);
  return PreparedGame{
      .names = std::move(game.names),
      .aka_flag = (game.game_type & game_type::kNoRedFives) == 0,
      .kyoku_first = static_cast<std::uint8_t>((game.game_type & game_type::kEastSouth) != 0 ? 0 : 4),
  };
}

std::expected<void, ConversionError> prepare_xml_hand(const XmlHand& hand, std::size_t position, bool red_fives,
                                                      PreparedHand& out) {
  const HandPreparation preparation(hand, red_fives);
  out.position = position;
  out.id = hand.id;
  out.scores = hand.scores;
  preparation.tiles_of(hand.dora_indicators, out.dora_indicators);
  preparation.tiles_of(hand.ura_indicators, out.ura_indicators);
  for (Seat seat = 0; seat < kSeatCount; ++seat) {
    out.starting_hands[seat] = preparation.tiles_in_order(hand.starting_hands[seat]);
  }
  out.result = preparation.result();
  RecordedPlay* play = std::get_if<RecordedPlay>(&out.play);
  if (play == nullptr) play = &out.play.emplace<RecordedPlay>();
  return preparation.play(position, *play);
}

}  // namespace kiroku
