#include "kiroku/conv/call_notation.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace kiroku::conv {

namespace {

using event::Seat;

// What went wrong with one entry; the caller adds where it happened.
struct EntryFailure {
  ConversionErrorKind kind;
  std::string text;
  std::uint8_t number = 0;
};

std::unexpected<EntryFailure> invalid_notation(std::string_view text) {
  return std::unexpected(EntryFailure{ConversionErrorKind::InvalidNotation, std::string(text)});
}

// The tile field of two bytes at `position`; the callers checked the length.
std::expected<Tile, EntryFailure> tile_field(std::string_view text, std::size_t position) {
  auto tile = tile_from_text(text.substr(position, 2));
  if (!tile) return std::unexpected(EntryFailure{ConversionErrorKind::InvalidTileCode, std::move(tile.error().text)});
  return *tile;
}

// The seat `offset` places after `actor`: the notation names the player
// called from by the letter's place, 3 for the seat before the caller (left),
// 2 for the one across, 1 for the one after (right).
Seat seat_after(Seat actor, int offset) { return static_cast<Seat>((actor + offset) % kSeatCount); }

// The tiles of a meld written as two-byte fields around one letter at
// `letter`: the field right after the letter is the claimed or added tile,
// the others, left to right, come from the hand.  Fields before the letter
// sit at 0, 2, ...; after it at letter + 1, letter + 3, ...
template <std::size_t N>
struct MeldTiles {
  Tile pai;
  std::array<Tile, N> consumed;
};

template <std::size_t N>
std::expected<MeldTiles<N>, EntryFailure> meld_tiles(std::string_view text, std::size_t letter) {
  MeldTiles<N> meld;
  auto pai = tile_field(text, letter + 1);
  if (!pai) return std::unexpected(std::move(pai.error()));
  meld.pai = *pai;
  std::size_t filled = 0;
  for (std::size_t position = 0; position < letter; position += 2) {
    auto tile = tile_field(text, position);
    if (!tile) return std::unexpected(std::move(tile.error()));
    meld.consumed[filled++] = *tile;
  }
  for (std::size_t position = letter + 3; filled < N; position += 2) {
    auto tile = tile_field(text, position);
    if (!tile) return std::unexpected(std::move(tile.error()));
    meld.consumed[filled++] = *tile;
  }
  return meld;
}

// Offset of the called-from seat for a pon or daiminkan letter at `letter`,
// or 0 where the letter may not stand.
int pon_offset(std::size_t letter) {
  switch (letter) {
    case 0: return 3;
    case 2: return 2;
    case 4: return 1;
    default: return 0;
  }
}

int daiminkan_offset(std::size_t letter) {
  switch (letter) {
    case 0: return 3;
    case 2: return 2;
    case 6: return 1;
    default: return 0;
  }
}

// "c" decides before "p" before "m", wherever each stands in the text.
std::expected<Event, EntryFailure> decode_call(std::string_view text, Seat actor) {
  if (text.find('c') != std::string_view::npos) {
    // A chi is always of the seat before the caller, so the letter leads.
    if (text.size() != 7) return invalid_notation(text);
    auto meld = meld_tiles<2>(text, 0);
    if (!meld) return std::unexpected(std::move(meld.error()));
    return event::Chi{.actor = actor, .target = seat_after(actor, 3), .pai = meld->pai, .consumed = meld->consumed};
  }
  if (const auto letter = text.find('p'); letter != std::string_view::npos) {
    const int offset = pon_offset(letter);
    if (text.size() != 7 || offset == 0) return invalid_notation(text);
    auto meld = meld_tiles<2>(text, letter);
    if (!meld) return std::unexpected(std::move(meld.error()));
    return event::Pon{
        .actor = actor, .target = seat_after(actor, offset), .pai = meld->pai, .consumed = meld->consumed};
  }
  if (const auto letter = text.find('m'); letter != std::string_view::npos) {
    const int offset = daiminkan_offset(letter);
    if (text.size() != 9 || offset == 0) return invalid_notation(text);
    auto meld = meld_tiles<3>(text, letter);
    if (!meld) return std::unexpected(std::move(meld.error()));
    return event::Daiminkan{
        .actor = actor, .target = seat_after(actor, offset), .pai = meld->pai, .consumed = meld->consumed};
  }
  return invalid_notation(text);
}

std::expected<Event, EntryFailure> decode_take(const ActionItem& entry, Seat actor) {
  if (const auto* tile = std::get_if<Tile>(&entry)) return event::Tsumo{.actor = actor, .pai = *tile};
  if (const auto* number = std::get_if<std::uint8_t>(&entry)) {
    return std::unexpected(EntryFailure{ConversionErrorKind::UnexpectedNumber, {}, *number});
  }
  return decode_call(std::get<std::string>(entry), actor);
}

// "k" decides before "a"; a text with neither is a riichi declaration.
std::expected<void, EntryFailure> decode_discard_text(std::string_view text, Seat actor, std::vector<Event>& out) {
  if (const auto letter = text.find('k'); letter != std::string_view::npos) {
    if (text.size() != 9 || pon_offset(letter) == 0) return invalid_notation(text);
    auto meld = meld_tiles<3>(text, letter);
    if (!meld) return std::unexpected(std::move(meld.error()));
    out.push_back(event::Kakan{.actor = actor, .pai = meld->pai, .consumed = meld->consumed});
    return {};
  }
  if (text.find('a') != std::string_view::npos) {
    // Four fields at 0, 2, 4 and 7: only "a" at 6 leaves them all digits.
    // The field after the letter is read first, like the added tile of a kakan.
    if (text.size() != 9) return invalid_notation(text);
    auto meld = meld_tiles<3>(text, 6);
    if (!meld) return std::unexpected(std::move(meld.error()));
    out.push_back(event::Ankan{.actor = actor,
                               .consumed = {meld->consumed[0], meld->consumed[1], meld->consumed[2], meld->pai}});
    return {};
  }
  if (text.size() != 3) return invalid_notation(text);
  Tile pai;  // "60": the drawn tile, filled in by the pairing
  if (text.substr(1, 2) != "60") {
    auto tile = tile_field(text, 1);
    if (!tile) return std::unexpected(std::move(tile.error()));
    pai = *tile;
  }
  out.push_back(event::Reach{.actor = actor});
  out.push_back(event::Dahai{.actor = actor, .pai = pai, .tsumogiri = pai.is_placeholder()});
  return {};
}

std::expected<void, EntryFailure> decode_discard(const ActionItem& entry, Seat actor, std::vector<Event>& out) {
  if (const auto* tile = std::get_if<Tile>(&entry)) {
    // Code 0 here is the placeholder after a daiminkan; the pairing drops it.
    out.push_back(event::Dahai{.actor = actor, .pai = *tile, .tsumogiri = false});
    return {};
  }
  if (std::holds_alternative<std::uint8_t>(entry)) {
    // The log writes 60 for a discard of the tile just drawn.
    out.push_back(event::Dahai{.actor = actor, .pai = Tile(), .tsumogiri = true});
    return {};
  }
  return decode_discard_text(std::get<std::string>(entry), actor, out);
}

// Matches each take with one step of the discard list: a draw with the
// discard, riichi or kan that follows it, a chi or pon with the discard after
// the call, a daiminkan with the placeholder the log writes in place of a
// discard.  Removal of placeholders compacts the list in one pass: `kept`
// trails `next`, and everything before `kept` is final.
void pair_takes_with_discards(const std::vector<Event>& takes, std::vector<Event>& discards) {
  std::size_t next = 0;
  std::size_t kept = 0;
  auto keep = [&] {
    if (kept != next) discards[kept] = std::move(discards[next]);
    ++kept;
    ++next;
  };
  for (const Event& take : takes) {
    if (next >= discards.size()) break;
    if (std::holds_alternative<event::Reach>(discards[next])) {
      keep();
      if (next >= discards.size()) break;  // not made by the decoder: a reach always has its dahai
    }
    auto* dahai = std::get_if<event::Dahai>(&discards[next]);
    if (dahai != nullptr && dahai->tsumogiri) {
      if (const auto* tsumo = std::get_if<event::Tsumo>(&take)) dahai->pai = tsumo->pai;
      keep();
    } else if (dahai != nullptr && dahai->pai.is_placeholder()) {
      ++next;  // the next take pairs with whatever moves up into this place
    } else {
      keep();
    }
  }
  while (next < discards.size()) keep();
  discards.erase(discards.begin() + static_cast<std::ptrdiff_t>(kept), discards.end());
}

ConversionError located(EntryFailure failure, const PreparedHand& hand, Seat seat) {
  ConversionError error;
  error.kind = failure.kind;
  error.hand = hand.id;
  error.seat = seat;
  error.text = std::move(failure.text);
  error.number = failure.number;
  return error;
}

}  // namespace

std::expected<void, ConversionError> decode_seat_lists(const PreparedHand& hand, Seat seat, SeatLists& out) {
  const SeatRecord& record = hand.seats[seat];
  out.takes.clear();
  out.discards.clear();
  out.takes.reserve(record.takes.size());
  out.discards.reserve(record.discards.size() + 1);
  for (const ActionItem& entry : record.takes) {
    auto take = decode_take(entry, seat);
    if (!take) return std::unexpected(located(std::move(take.error()), hand, seat));
    out.takes.push_back(std::move(*take));
  }
  for (const ActionItem& entry : record.discards) {
    auto decoded = decode_discard(entry, seat, out.discards);
    if (!decoded) return std::unexpected(located(std::move(decoded.error()), hand, seat));
  }
  pair_takes_with_discards(out.takes, out.discards);
  return {};
}

}  // namespace kiroku::conv
