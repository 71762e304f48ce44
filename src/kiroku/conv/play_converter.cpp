#include "kiroku/tile_id.h"
#include "kiroku/conv/play_converter.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <optional>
#include <span>
#include <utility>

#include "kiroku/conv/hand_writer.h"
#include "kiroku/conv/whole_game.h"

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
  PlayWalk(const XmlHand& hand, bool red_fives, std::vector<Event>& events)
      : hand_(hand), red_fives_(red_fives), events_(events) {
    dora_.reserve(hand.dora_indicators.size());
    for (const TileId id : hand.dora_indicators) dora_.push_back(tile(id));
    ura_.reserve(hand.ura_indicators.size());
    for (const TileId id : hand.ura_indicators) ura_.push_back(tile(id));
    actor_ = hand.dealer;
  }

  std::expected<void, ConversionError> run() {
    HandWriter writer(hand_.id, dora_, events_);
    writer_ = &writer;
    if (auto dealt = deal(); !dealt) return dealt;
    for (const XmlStep& action : hand_.actions) {
      if (auto stepped = step(action); !stepped) return stepped;
    }
    if (phase_ != Phase::Won && phase_ != Phase::Over) return fail(ConversionErrorKind::HandNotFinished, actor_);
    writer.finish(result(), ura_);
    return {};
  }

 private:
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
  Tile tile(TileId id) const noexcept { return tile_of_id(id, red_fives_); }

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

  std::expected<void, ConversionError> deal() {
    // The indicators come from the dead wall, which nobody draws them from.
    for (const TileId id : hand_.dora_indicators) {
      if (auto shown = appear(id, std::nullopt); !shown) return shown;
    }
    event::StartKyoku start;
    const std::uint8_t index = hand_.id.hand_index;
    constexpr std::uint8_t kEast = 27;  // the winds follow in order: E, S, W, N
    start.bakaze = *Tile::from_index(static_cast<std::uint8_t>(kEast + std::min(index / 4, 3)));
    start.dora_marker = dora_.front();
    start.kyoku = static_cast<std::uint8_t>(index % 4 + 1);
    start.honba = hand_.id.honba;
    start.kyotaku = hand_.id.deposits;
    start.oya = static_cast<std::uint8_t>(index % 4);
    start.scores = hand_.scores;
    for (Seat seat = 0; seat < kSeatCount; ++seat) {
      for (const TileId id : hand_.starting_hands[seat]) {
        if (auto dealt = appear(id, seat); !dealt) return dealt;
        held_[seat].set(id);
      }
      start.tehais[seat] = tiles_in_order(hand_.starting_hands[seat]);
    }
    return writer_->start(start);
  }

  std::expected<void, ConversionError> step(const XmlStep& action) {
    switch (action.kind) {
      case XmlStep::Kind::Draw: return draw(action.seat, action.tile);
      case XmlStep::Kind::Discard: return discard(action.seat, action.tile);
      case XmlStep::Kind::Meld: return meld(action.seat, hand_.melds[action.index]);
      case XmlStep::Kind::RiichiDeclared: return declare_riichi(action.seat);
      case XmlStep::Kind::RiichiAccepted: return accept_riichi(action.seat);
      case XmlStep::Kind::Win: return win(hand_.wins[action.index]);
      case XmlStep::Kind::Abort: return abort_hand();
    }
    return {};
  }

  // Before anyone moves on from a riichi declaration, its acceptance.
  std::expected<void, ConversionError> check_riichi_settled(Seat seat, std::string_view what) const {
    if (phase_ == Phase::Discarded && riichi_unaccepted_) return out_of_turn(seat, what);
    return {};
  }

  std::expected<void, ConversionError> draw(Seat seat, TileId id) {
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
    return writer_->tsumo(event::Tsumo{.actor = seat, .pai = tile(id)});
  }

  std::expected<void, ConversionError> discard(Seat seat, TileId id) {
    const bool declared = phase_ == Phase::Declared;
    const bool in_turn = (phase_ == Phase::Drawn || declared || phase_ == Phase::Called) && seat == actor_;
    if (!in_turn) return out_of_turn(seat, "discard");
    if (auto gone = give_up(seat, id); !gone) return gone;
    const event::Dahai dahai{.actor = seat, .pai = tile(id), .tsumogiri = phase_ != Phase::Called && id == last_draw_};
    last_discard_ = id;
    phase_ = Phase::Discarded;
    riichi_unaccepted_ = declared;
    if (declared) return writer_->riichi(event::Reach{.actor = seat}, dahai);
    return writer_->dahai(dahai);
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

  std::expected<void, ConversionError> meld(Seat seat, const Meld& meld) {
    switch (meld.kind) {
      case Meld::Kind::Chi:
      case Meld::Kind::Pon:
      case Meld::Kind::Daiminkan: return call(seat, meld);
      case Meld::Kind::Kakan: return kakan(seat, meld);
      case Meld::Kind::Ankan: return ankan(seat, meld);
    }
    return {};
  }

  // A chi, pon or daiminkan of the last discard.
  std::expected<void, ConversionError> call(Seat seat, const Meld& meld) {
    const auto target = static_cast<Seat>((seat + meld.from) % kSeatCount);
    const Tile claimed = tile(meld.claimed);
    std::array<TileId, 3> own{};
    std::size_t own_count = 0;
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (meld.tiles[i] != meld.claimed) own[own_count++] = meld.tiles[i];
    }
    Event call_event;
    if (meld.kind == Meld::Kind::Daiminkan) {
      call_event = event::Daiminkan{.actor = seat, .target = target, .pai = claimed, .consumed = tiles_in_order(own)};
    } else {
      const auto consumed = tiles_in_order(std::array<TileId, 2>{own[0], own[1]});
      if (meld.kind == Meld::Kind::Chi) {
        call_event = event::Chi{.actor = seat, .target = target, .pai = claimed, .consumed = consumed};
      } else {
        call_event = event::Pon{.actor = seat, .target = target, .pai = claimed, .consumed = consumed};
      }
    }
    if (phase_ != Phase::Discarded || seat == actor_ || target != actor_ || meld.claimed != last_discard_) {
      ConversionError error = ConversionError::of(ConversionErrorKind::MismatchedCall, hand_.id, seat);
      error.call = call_event;
      error.discard_seen = phase_ == Phase::Discarded;
      error.previous_discarder = actor_;
      error.last_tile = tile(last_discard_);
      return std::unexpected(std::move(error));
    }
    if (auto settled = check_riichi_settled(seat, "call"); !settled) return settled;
    for (std::size_t i = 0; i < own_count; ++i) {
      if (auto gone = give_up(seat, own[i]); !gone) return gone;
    }
    actor_ = seat;
    last_draw_.reset();
    if (const auto* daiminkan = std::get_if<event::Daiminkan>(&call_event)) {
      phase_ = Phase::OpenKan;
      return writer_->daiminkan(*daiminkan);
    }
    phase_ = Phase::Called;
    if (meld.kind == Meld::Kind::Pon) {
      for (std::size_t i = 0; i < meld.tile_count; ++i) pon_tiles_[seat].set(meld.tiles[i]);
      return writer_->pon(std::get<event::Pon>(call_event));
    }
    return writer_->chi(std::get<event::Chi>(call_event));
  }

  std::expected<void, ConversionError> kakan(Seat seat, const Meld& meld) {
    if (phase_ != Phase::Drawn || seat != actor_) return out_of_turn(seat, "added kan");
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (!pon_tiles_[seat][meld.tiles[i]]) return fail(ConversionErrorKind::TileNotHeld, seat, meld.tiles[i]);
    }
    if (auto gone = give_up(seat, meld.added); !gone) return gone;
    // The pon's tiles as its notation lists them: the claimed one where the
    // seat it came from sits (first for the seat before, last for the seat after).
    std::array<TileId, 2> others{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (meld.tiles[i] != meld.claimed) others[count++] = meld.tiles[i];
    }
    const auto sorted = tiles_in_order(others);
    const std::size_t claimed_at = meld.from == 3 ? 0 : meld.from == 2 ? 1 : 2;
    std::array<Tile, 3> consumed{};
    for (std::size_t i = 0, k = 0; i < consumed.size(); ++i)
      consumed[i] = i == claimed_at ? tile(meld.claimed) : sorted[k++];
    last_draw_.reset();
    phase_ = Phase::OwnKan;
    return writer_->kakan(event::Kakan{.actor = seat, .pai = tile(meld.added), .consumed = consumed});
  }

  std::expected<void, ConversionError> ankan(Seat seat, const Meld& meld) {
    if (phase_ != Phase::Drawn || seat != actor_) return out_of_turn(seat, "closed kan");
    for (std::size_t i = 0; i < meld.tile_count; ++i) {
      if (auto gone = give_up(seat, meld.tiles[i]); !gone) return gone;
    }
    last_draw_.reset();
    phase_ = Phase::OwnKan;
    return writer_->ankan(event::Ankan{.actor = seat, .consumed = tiles_in_order(meld.tiles)});
  }

  std::expected<void, ConversionError> win(const XmlWin& win) {
    const bool self_drawn = win.winner == win.from;
    const bool fits = self_drawn ? phase_ == Phase::Drawn && win.winner == actor_
                                 : (phase_ == Phase::Discarded || phase_ == Phase::OwnKan || phase_ == Phase::Won) &&
                                       win.from == actor_;
    if (!fits) return out_of_turn(win.winner, "win");
    wins_.push_back(Win{.deltas = win.deltas, .winner = win.winner, .target = win.from});
    phase_ = self_drawn ? Phase::Over : Phase::Won;
    return {};
  }

  std::expected<void, ConversionError> abort_hand() {
    if (phase_ == Phase::Won || phase_ == Phase::Over) return out_of_turn(actor_, "drawn hand");
    ended_by_ = hand_.draw_end.kind;
    phase_ = Phase::Over;
    return {};
  }

  HandResult result() const {
    if (ended_by_)
      return Draw{.deltas = hand_.draw_end.deltas, .four_riichi = *ended_by_ == XmlDrawEnd::Kind::FourRiichi};
    return wins_;
  }

  const XmlHand& hand_;
  const bool red_fives_;
  std::vector<Event>& events_;
  HandWriter* writer_ = nullptr;
  std::vector<Tile> dora_;
  std::vector<Tile> ura_;
  Phase phase_ = Phase::Dealt;
  Seat actor_ = 0;  // whose step the phase is about
  TileSet seen_;
  std::array<TileSet, kSeatCount> held_{};
  std::array<TileSet, kSeatCount> pon_tiles_{};
  std::optional<TileId> last_draw_;  // of the actor, while its draw is in hand
  TileId last_discard_ = 0;
  bool riichi_unaccepted_ = false;
  std::vector<Win> wins_;
  std::optional<XmlDrawEnd::Kind> ended_by_;
};

}  // namespace

event::StartGame XmlLogConverter::start_game() const { return start_game_of(log_); }

std::expected<void, ConversionError> XmlLogConverter::convert_hand(std::size_t position, std::vector<Event>& events) {
  if (auto walked = PlayWalk(log_.hands[position], log_.aka_flag, events).run(); !walked) {
    ConversionError error = std::move(walked.error());
    error.hand_position = position;
    return std::unexpected(std::move(error));
  }
  ++stats_.hands;
  return {};
}

std::expected<std::vector<Event>, ConversionError> convert_xml_log(const PreparedXmlLog& log,
                                                                    ConversionStats* stats) {
  std::size_t expected_events = 2;
  for (const XmlHand& hand : log.hands) expected_events += hand.actions.size() + 8;
  XmlLogConverter converter(log);
  return convert_whole_game(converter, expected_events, stats);
}

}  // namespace kiroku::conv
