#include "kiroku/prepare/xml_tenhou6.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "kiroku/prepare/draw_labels.h"
#include "kiroku/prepare/game_text.h"
#include "kiroku/prepare/win_text.h"
#include "kiroku/tile_code.h"

namespace kiroku {

namespace {

using event::Seat;

constexpr std::uint8_t kTsumogiri = 60;  // a discard of the tile just drawn

// Only a hand played out to the end moves points; an aborted one is the
// label alone.
bool draw_has_deltas(DrawKind kind) noexcept { return kind == DrawKind::Exhaustive || kind == DrawKind::NagashiMangan; }

void append_code(std::string& text, Tile tile) {
  const std::uint8_t code = tile_code(tile);
  text += static_cast<char>('0' + code / 10);
  text += static_cast<char>('0' + code % 10);
}

// Where a called tile stands among the caller's own `own_count` tiles, by
// the seat it came from (`from` seats after the caller): first from the seat
// before, second from the one across, last from the one after.
constexpr std::size_t place_of_claimed(std::uint8_t from, std::size_t own_count) noexcept {
  return from == 3 ? 0 : from == 2 ? 1 : own_count;
}

// Call notation: the meld's tiles as two-digit codes, and a letter before
// the claimed (or added) tile, which stands where the seat it came from
// sits.  A kakan is its pon's notation with "k" and the added tile in place
// of "p"; an ankan's "a" stands before its last tile.
std::string notation_of(const PreparedMeld& prepared) {
  std::string text;
  text.reserve(9);  // the longest, a kan's four tiles and its letter
  const std::uint8_t from = prepared.meld.from;
  auto around_claimed = [&](char letter, Tile claimed, std::span<const Tile> own) {
    const std::size_t at = place_of_claimed(from, own.size());
    for (std::size_t i = 0; i <= own.size(); ++i) {
      if (i == at) {
        text += letter;
        append_code(text, claimed);
      }
      if (i < own.size()) append_code(text, own[i]);
    }
  };
  std::visit(
      [&](const auto& call) {
        using Call = std::decay_t<decltype(call)>;
        if constexpr (std::is_same_v<Call, event::Chi> || std::is_same_v<Call, event::Pon>) {
          around_claimed(std::is_same_v<Call, event::Chi> ? 'c' : 'p', call.pai, call.consumed);
        } else if constexpr (std::is_same_v<Call, event::Daiminkan>) {
          around_claimed('m', call.pai, call.consumed);
        } else if constexpr (std::is_same_v<Call, event::Kakan>) {
          // The pon's tiles, the claimed one already in its place.
          const std::size_t at = place_of_claimed(from, 2);
          for (std::size_t i = 0; i < call.consumed.size(); ++i) {
            if (i == at) {
              text += 'k';
              append_code(text, call.pai);
            }
            append_code(text, call.consumed[i]);
          }
        } else if constexpr (std::is_same_v<Call, event::Ankan>) {
          for (std::size_t i = 0; i < call.consumed.size(); ++i) {
            if (i + 1 == call.consumed.size()) text += 'a';
            append_code(text, call.consumed[i]);
          }
        }
      },
      prepared.event);
  return text;
}

bool is_claim(Meld::Kind kind) noexcept {
  return kind == Meld::Kind::Chi || kind == Meld::Kind::Pon || kind == Meld::Kind::Daiminkan;
}

// Each seat's take and discard lists, from the steps in their order of play.
void fill_lists(const RecordedPlay& play, std::array<JsonSeat, kSeatCount>& seats) {
  struct SeatState {
    std::optional<TileId> drawn;  // the tile drawn, until the seat discards or calls
    bool riichi = false;          // declared: the next discard carries "r"
  };
  std::array<SeatState, kSeatCount> state{};
  for (JsonSeat& seat : seats) {
    seat.takes.clear();
    seat.discards.clear();
  }
  for (const PlayStep& step : play.steps) {
    JsonSeat& seat = seats[step.seat];
    SeatState& now = state[step.seat];
    switch (step.kind) {
      case PlayStep::Kind::Draw:
        seat.takes.emplace_back(step.tile);
        now.drawn = step.tile_id;
        break;
      case PlayStep::Kind::Discard: {
        const bool tsumogiri = now.drawn == step.tile_id;
        if (now.riichi) {
          std::string text = "r";
          if (tsumogiri) {
            text += "60";
          } else {
            append_code(text, step.tile);
          }
          seat.discards.emplace_back(NotationText(text));
        } else if (tsumogiri) {
          seat.discards.emplace_back(kTsumogiri);
        } else {
          seat.discards.emplace_back(step.tile);
        }
        now = SeatState{};
        break;
      }
      case PlayStep::Kind::Meld: {
        const PreparedMeld& meld = play.melds[step.index];
        NotationText text(notation_of(meld));
        now.drawn.reset();
        if (!is_claim(meld.meld.kind)) {
          seat.discards.emplace_back(std::move(text));
          break;
        }
        seat.takes.emplace_back(std::move(text));
        // A daiminkan is followed by a draw, not a discard: the discard list
        // holds a placeholder in its place.
        if (meld.meld.kind == Meld::Kind::Daiminkan) seat.discards.emplace_back(Tile{});
        break;
      }
      case PlayStep::Kind::RiichiDeclared: now.riichi = true; break;
      default: break;
    }
  }
}

std::expected<std::vector<JsonValue>, PrepareError> win_detail(const XmlWin& win, bool dealer) {
  std::vector<JsonValue> detail;
  detail.reserve(4 + win.yaku.size() + win.yakuman.size());
  // Each value made in its place: GCC 12 takes a moved temporary's variant
  // for uninitialized.
  auto add = [&](auto value) { detail.emplace_back().value.emplace<decltype(value)>(std::move(value)); };
  add(std::uint64_t{win.winner});
  add(std::uint64_t{win.from});
  add(std::uint64_t{win.liable.value_or(win.winner)});
  WinValue value{
      .fu = win.fu, .points = win.points, .limit = win.limit, .self_drawn = win.from == win.winner, .dealer = dealer};
  for (const XmlYaku& yaku : win.yaku) value.han += yaku.han;
  add(points_text(value));
  // A yaku worth nothing (ura dora or red fives not hit) is not written.
  for (const XmlYaku& yaku : win.yaku) {
    if (yaku.han == 0) continue;
    const auto name = yaku_name(yaku.id);
    if (!name) return std::unexpected(PrepareError::UnknownYaku);
    add(yaku_text(*name, yaku.han));
  }
  for (const std::uint8_t id : win.yakuman) {
    const auto name = yaku_name(id);
    if (!name) return std::unexpected(PrepareError::UnknownYaku);
    add(yaku_text(*name, std::nullopt));
  }
  return detail;
}

// The result as preparation reduced it, with the texts only the record has:
// each win's worth and yaku, and who showed their hand at a draw.
std::expected<void, PrepareError> fill_result(const XmlHand& hand, const HandResult& reduced,
                                              std::vector<ResultItem>& result) {
  result.clear();
  if (const auto* draw = std::get_if<Draw>(&reduced)) {
    // The seats that show their hand are the ones in tenpai.
    const auto tenpai = static_cast<std::size_t>(std::ranges::count(hand.draw_end.hands_shown, true));
    result.emplace_back(std::string(draw_label(draw->kind, tenpai)));
    if (draw_has_deltas(draw->kind)) result.emplace_back(draw->deltas);
    return {};
  }
  if (hand.wins.empty()) return {};
  result.emplace_back(std::string(kWinLabel));
  for (const XmlWin& win : hand.wins) {
    auto detail = win_detail(win, win.winner == hand.dealer);
    if (!detail) return std::unexpected(detail.error());
    result.emplace_back(win.deltas);
    result.emplace_back(std::move(*detail));
  }
  return {};
}

void note_connections(const std::vector<XmlConnection>& connections, std::size_t position, bool at_start,
                      std::vector<JsonConnection>& out) {
  for (const XmlConnection& connection : connections) {
    out.push_back({.what = connection.returned ? std::uint8_t{1} : std::uint8_t{0},
                   .log = static_cast<std::uint32_t>(position),
                   .who = connection.seat,
                   .step = at_start ? 0 : connection.step});
  }
}

}  // namespace

Tenhou6Game tenhou6_game_of(const XmlGame& game, std::string_view ref) {
  Tenhou6Game out;
  out.ref = ref;
  JsonGame& json = out.game;
  json.name = game.names;
  const bool red_fives = (game.game_type & game_type::kNoRedFives) == 0;
  const std::uint8_t red = red_fives ? 1 : 0;
  json.rule = Rule{.disp = rule_text(game.game_type), .aka = 0, .aka51 = red, .aka52 = red, .aka53 = red};
  json.ratingc = "PF4";  // the rating of four-player games
  json.lobby = game.lobby.value_or(0);
  std::vector<std::string> ranks;
  for (const std::uint8_t rank : game.dan) ranks.emplace_back(rank_name(rank));
  json.dan = std::move(ranks);
  json.rate = game.rate;
  json.sx = game.sx;
  note_connections(game.connections, 0, true, json.connection);
  return out;
}

std::expected<void, PrepareError> tenhou6_hand_of(const XmlHand& hand, const PreparedHand& prepared,
                                                  std::size_t position, JsonHand& out, Tenhou6Game& game) {
  out.id = prepared.id;
  out.scores = prepared.scores;
  out.dora_indicators = prepared.dora_indicators;
  out.ura_indicators = prepared.ura_indicators;
  for (Seat seat = 0; seat < kSeatCount; ++seat) out.seats[seat].hand = prepared.starting_hands[seat];
  if (const auto* play = std::get_if<RecordedPlay>(&prepared.play)) fill_lists(*play, out.seats);
  if (auto filled = fill_result(hand, prepared.result, out.result); !filled) return filled;
  note_connections(hand.connections, position, false, game.game.connection);
  if (hand.final_scores) {
    std::vector<double> sc;
    for (std::size_t seat = 0; seat < kSeatCount; ++seat) {
      sc.push_back(hand.final_scores->scores[seat]);
      sc.push_back(hand.final_scores->points[seat]);
    }
    game.game.sc = std::move(sc);
  }
  return {};
}

}  // namespace kiroku
