#include "kiroku/conv/order_following.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <optional>
#include <span>
#include <utility>

#include "kiroku/conv/hand_writer.h"
#include "kiroku/tile_id.h"

namespace kiroku::conv {

namespace {

using event::Seat;
using TileSet = std::bitset<kTileIdCount>;

// What the record may hold next, and for whom.
enum class Phase : std::uint8_t {
  Dealt,      // the dealer draws first
  Drawn,      // `actor_` drew: a discard, riichi, closed or added kan, a self-drawn win or an abort
  Declared,   // `actor_` declared riichi: its discard
  Called,     // `actor_` made a chi or pon: its discard
  OpenKan,    // `actor_` made a daiminkan: its replacement draw
  OwnKan,     // `actor_` made a closed or added kan: its replacement draw, or a win robbing it
  Discarded,  // `actor_` discarded: the next draw, a call of the tile, a win on it
  Won,        // further winners on the same tile, or nothing
  Over,       // nothing
};

class PlayWalk {
 public:
  PlayWalk(const PreparedHand& hand, const RecordedPlay& play, std::vector<Event>& events)
      : hand_(hand), play_(play), writer_(hand, events) {
    actor_ = static_cast<Seat>(hand.id.hand_index % kSeatCount);
  }

  std::expected<void, ConversionError> run() {
    if (auto started = writer_.start(); !started) return started;
    if (auto dealt = deal(); !dealt) return dealt;
    for (const PlayStep& step : play_.steps) {
      if (auto stepped = take(step); !stepped) return stepped;
    }
    if (phase_ != Phase::Won && phase_ != Phase::Over) return fail(ConversionErrorKind::HandNotFinished, actor_);
    return writer_.finish();
  }

 private:
  std::unexpected<ConversionError> fail(ConversionErrorKind kind, std::optional<Seat> seat, TileId id = 0) const {
    ConversionError error = ConversionError::of(kind, hand_.id, seat);
    error.tile_id = id;
    return std::unexpected(std::move(error));
  }
  std::unexpected<ConversionError> out_of_turn(Seat seat, std::string_view what) const {
    ConversionError error = ConversionError::of(ConversionErrorKind::OutOfTurn, hand_.id, seat);
    error.text = what;
    return std::unexpected(std::move(error));
  }

  // Marks a tile as come into play; each physical tile does so once.
  std::expected<void, ConversionError> appear(TileId id, std::optional<Seat> seat) {
    if (seen_[id]) return fail(ConversionErrorKind::TileSeenTwice, seat, id);
    seen_.set(id);
    return {};
  }
  std::expected<void, ConversionError> give_up(Seat seat, TileId id) {
    if (!held_[seat][id]) return fail(ConversionErrorKind::TileNotHeld, seat, id);
    held_[seat].reset(id);
    return {};
  }

  // The indicators come from the dead wall, which nobody draws them from.
  std::expected<void, ConversionError> deal() {
    for (const TileId id : play_.indicator_ids) {
      if (auto shown = appear(id, std::nullopt); !shown) return shown;
    }
    for (Seat seat = 0; seat < kSeatCount; ++seat) {
      for (const TileId id : play_.starting_ids[seat]) {
        if (auto dealt = appear(id, seat); !dealt) return dealt;
        held_[seat].set(id);
      }
    }
    return {};
  }

  std::expected<void, ConversionError> take(const PlayStep& step) {
    switch (step.kind) {
      case PlayStep::Kind::Draw: return draw(step.seat, step.tile_id, step.tile);
      case PlayStep::Kind::Discard: return discard(step.seat, step.tile_id, step.tile);
      case PlayStep::Kind::Meld: return meld(step.seat, play_.melds[step.index]);
      case PlayStep::Kind::RiichiDeclared: return declare_riichi(step.seat);
      case PlayStep::Kind::RiichiAccepted: return accept_riichi(step.seat);
      case PlayStep::Kind::Win: {
        // A record that also ends the hand in a draw has no win to give.
        const auto* wins = std::get_if<std::vector<Win>>(&hand_.result);
        if (wins == nullptr) return out_of_turn(step.seat, "win");
        return win((*wins)[step.index]);
      }
      case PlayStep::Kind::Abort: return abort_hand();
    }
    return {};
  }

  // Before anyone moves on from a riichi declaration, its acceptance.
  std::expected<void, ConversionError> check_riichi_settled(Seat seat, std::string_view what) const {
    if (phase_ == Phase::Discarded && riichi_unaccepted_) return out_of_turn(seat, what);
    return {};
  }

  std::expected<void, ConversionError> draw(Seat seat, TileId id, Tile tile) {
    const bool replacement = phase_ == Phase::OpenKan || phase_ == Phase::OwnKan;
    const bool in_turn = phase_ == Phase::Dealt ? seat == actor_
                         : replacement          ? seat == actor_
                                                : phase_ == Phase::Discarded && seat == (actor_ + 1) % kSeatCount;
    if (!in_turn) return out_of_turn(seat, "draw");
    if (auto settled = check_riichi_settled(seat, "draw"); !settled) return settled;
    if (auto drawn = appear(id, seat); !drawn) return drawn;
    held_[seat].set(id);
    last_draw_ = id;
    actor_ = seat;
    phase_ = Phase::Drawn;
    return writer_.tsumo(event::Tsumo{.actor = seat, .pai = tile});
  }

  std::expected<void, ConversionError> discard(Seat seat, TileId id, Tile tile) {
    const bool declared = phase_ == Phase::Declared;
    const bool in_turn = (phase_ == Phase::Drawn || declared || phase_ == Phase::Called) && seat == actor_;
    if (!in_turn) return out_of_turn(seat, "discard");
    if (auto gone = give_up(seat, id); !gone) return gone;
    const event::Dahai dahai{.actor = seat, .pai = tile, .tsumogiri = phase_ != Phase::Called && id == last_draw_};
    last_discard_ = id;
    last_discard_tile_ = tile;
    phase_ = Phase::Discarded;
    riichi_unaccepted_ = declared;
    if (declared) return writer_.riichi(event::Reach{.actor = seat}, dahai);
    return writer_.dahai(dahai);
  }

  std::expected<void, ConversionError> declare_riichi(Seat seat) {
    if (phase_ != Phase::Drawn || seat != actor_) return out_of_turn(seat, "riichi declaration");
    phase_ = Phase::Declared;
    return {};
  }

  std::expected<void, ConversionError> accept_riichi(Seat seat) {
    if (phase_ != Phase::Discarded || !riichi_unaccepted_ || seat != actor_) {
      return out_of_turn(seat, "riichi acceptance");
    }
    // The writer places "reach_accepted" itself: before the next take, or
    // before a four-riichi draw.
    riichi_unaccepted_ = false;
    return {};
  }

  std::expected<void, ConversionError> meld(Seat seat, const PreparedMeld& prepared) {
    switch (prepared.meld.kind) {
      case Meld::Kind::Chi:
      case Meld::Kind::Pon:
      case Meld::Kind::Daiminkan: return call(seat, prepared);
      case Meld::Kind::Kakan: return kakan(seat, prepared);
      case Meld::Kind::Ankan: return ankan(seat, prepared);
    }
    return {};
  }

  // A chi, pon or daiminkan of the last discard.
  std::expected<void, ConversionError> call(Seat seat, const PreparedMeld& prepared) {
    const Meld& meld = prepared.meld;
    const auto target = static_cast<Seat>((seat + meld.from) % kSeatCount);
    if (phase_ != Phase::Discarded || seat == actor_ || target != actor_ || meld.claimed != last_discard_) {
      std::optional<LastDiscard> last;
      if (phase_ == Phase::Discarded) last = LastDiscard{actor_, last_discard_tile_};
      return std::unexpected(mismatched_call(hand_.id, seat, prepared.event, last));
    }
    if (auto settled = check_riichi_settled(seat, "call"); !settled) return settled;
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (meld.tiles[i] == meld.claimed) continue;
      if (auto gone = give_up(seat, meld.tiles[i]); !gone) return gone;
    }
    actor_ = seat;
    last_draw_.reset();
    switch (meld.kind) {
      case Meld::Kind::Daiminkan:
        phase_ = Phase::OpenKan;
        return writer_.daiminkan(std::get<event::Daiminkan>(prepared.event));
      case Meld::Kind::Pon:
        phase_ = Phase::Called;
        for (std::size_t i = 0; i < meld.tile_count; ++i) pon_tiles_[seat].set(meld.tiles[i]);
        return writer_.pon(std::get<event::Pon>(prepared.event));
      default: phase_ = Phase::Called; return writer_.chi(std::get<event::Chi>(prepared.event));
    }
  }

  std::expected<void, ConversionError> kakan(Seat seat, const PreparedMeld& prepared) {
    const Meld& meld = prepared.meld;
    if (phase_ != Phase::Drawn || seat != actor_) return out_of_turn(seat, "added kan");
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (!pon_tiles_[seat][meld.tiles[i]]) return fail(ConversionErrorKind::TileNotHeld, seat, meld.tiles[i]);
    }
    if (auto gone = give_up(seat, meld.added); !gone) return gone;
    last_draw_.reset();
    phase_ = Phase::OwnKan;
    return writer_.kakan(std::get<event::Kakan>(prepared.event));
  }

  std::expected<void, ConversionError> ankan(Seat seat, const PreparedMeld& prepared) {
    const Meld& meld = prepared.meld;
    if (phase_ != Phase::Drawn || seat != actor_) return out_of_turn(seat, "closed kan");
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (auto gone = give_up(seat, meld.tiles[i]); !gone) return gone;
    }
    last_draw_.reset();
    phase_ = Phase::OwnKan;
    return writer_.ankan(std::get<event::Ankan>(prepared.event));
  }

  std::expected<void, ConversionError> win(const Win& win) {
    const bool self_drawn = win.winner == win.target;
    const bool fits = self_drawn ? phase_ == Phase::Drawn && win.winner == actor_
                                 : (phase_ == Phase::Discarded || phase_ == Phase::OwnKan || phase_ == Phase::Won) &&
                                       win.target == actor_;
    if (!fits) return out_of_turn(win.winner, "win");
    phase_ = self_drawn ? Phase::Over : Phase::Won;
    return {};
  }

  std::expected<void, ConversionError> abort_hand() {
    if (phase_ == Phase::Won || phase_ == Phase::Over) return out_of_turn(actor_, "drawn hand");
    phase_ = Phase::Over;
    return {};
  }

  const PreparedHand& hand_;
  const RecordedPlay& play_;
  HandWriter writer_;
  Phase phase_ = Phase::Dealt;
  Seat actor_ = 0;  // whose step the phase is about
  TileSet seen_;
  std::array<TileSet, kSeatCount> held_{};
  std::array<TileSet, kSeatCount> pon_tiles_{};
  std::optional<TileId> last_draw_;  // of the actor, while its draw is in hand
  TileId last_discard_ = 0;
  Tile last_discard_tile_;
  bool riichi_unaccepted_ = false;
};

}  // namespace

std::expected<void, ConversionError> follow_order(const PreparedHand& hand, const RecordedPlay& play,
                                                  std::vector<Event>& events) {
  const std::size_t start = events.size();
  auto walked = PlayWalk(hand, play, events).run();
  if (!walked) events.erase(events.begin() + static_cast<std::ptrdiff_t>(start), events.end());
  return walked;
}

}  // namespace kiroku::conv
