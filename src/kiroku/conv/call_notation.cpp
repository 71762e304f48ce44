#include "kiroku/conv/call_notation.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "kiroku/conv/discard_steps.h"
#include "kiroku/conv/entry_kinds.h"
#include "kiroku/conv/list_filler.h"

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
// Two digits, as every real log writes its fields, are read here; anything
// else (a sign, or a byte that is no digit) goes to tile_from_text, which
// reads it the same way and words the failure.
std::expected<Tile, EntryFailure> tile_field(std::string_view text, std::size_t position) {
  const auto tens = static_cast<unsigned char>(text[position] - '0');
  const auto ones = static_cast<unsigned char>(text[position + 1] - '0');
  if (tens <= 9 && ones <= 9) {
    if (const auto tile = tile_from_code(static_cast<std::uint8_t>(tens * 10 + ones))) return *tile;
  }
  auto tile = tile_from_text(text.substr(position, 2));
  if (!tile) return std::unexpected(EntryFailure{ConversionErrorKind::InvalidTileCode, std::move(tile.error().text)});
  return *tile;
}

// The seat `offset` places after `actor`: the notation names the player
// called from by the letter's place, 3 for the seat before the caller (left),
// 2 for the one across, 1 for the one after (right).
Seat seat_after(Seat actor, std::size_t offset) { return static_cast<Seat>((actor + offset) % kSeatCount); }

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
std::size_t pon_offset(std::size_t letter) {
  switch (letter) {
    case 0: return 3;
    case 2: return 2;
    case 4: return 1;
    default: return 0;
  }
}

std::size_t daiminkan_offset(std::size_t letter) {
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
    const std::size_t offset = pon_offset(letter);
    if (text.size() != 7 || offset == 0) return invalid_notation(text);
    auto meld = meld_tiles<2>(text, letter);
    if (!meld) return std::unexpected(std::move(meld.error()));
    return event::Pon{
        .actor = actor, .target = seat_after(actor, offset), .pai = meld->pai, .consumed = meld->consumed};
  }
  if (const auto letter = text.find('m'); letter != std::string_view::npos) {
    const std::size_t offset = daiminkan_offset(letter);
    if (text.size() != 9 || offset == 0) return invalid_notation(text);
    auto meld = meld_tiles<3>(text, letter);
    if (!meld) return std::unexpected(std::move(meld.error()));
    return event::Daiminkan{
        .actor = actor, .target = seat_after(actor, offset), .pai = meld->pai, .consumed = meld->consumed};
  }
  return invalid_notation(text);
}

// A draw goes straight into the list as its kind: a temporary Event would
// be copied and destroyed through the variant's tables, which costs more
// than the few bytes of the kind itself.  Calls, one take in twenty, may
// take that cost.
std::expected<void, EntryFailure> decode_take(const ActionItem& entry, Seat actor, ListFiller& out) {
  if (const auto* tile = std::get_if<Tile>(&entry)) {
    out.add<kTsumo>(event::Tsumo{.actor = actor, .pai = *tile});
    return {};
  }
  if (const auto* number = std::get_if<std::uint8_t>(&entry)) {
    return std::unexpected(EntryFailure{ConversionErrorKind::UnexpectedNumber, {}, *number});
  }
  auto call = decode_call(std::get<std::string>(entry), actor);
  if (!call) return std::unexpected(std::move(call.error()));
  out.add(*call);
  return {};
}

// "k" decides before "a"; a text with neither is a riichi declaration.
std::expected<void, EntryFailure> decode_discard_text(std::string_view text, Seat actor, DiscardSteps& out) {
  if (const auto letter = text.find('k'); letter != std::string_view::npos) {
    if (text.size() != 9 || pon_offset(letter) == 0) return invalid_notation(text);
    auto meld = meld_tiles<3>(text, letter);
    if (!meld) return std::unexpected(std::move(meld.error()));
    out.kan<kKakan>(event::Kakan{.actor = actor, .pai = meld->pai, .consumed = meld->consumed});
    return {};
  }
  if (text.find('a') != std::string_view::npos) {
    // Four fields at 0, 2, 4 and 7: only "a" at 6 leaves them all digits.
    // The field after the letter is read first, like the added tile of a kakan.
    if (text.size() != 9) return invalid_notation(text);
    auto meld = meld_tiles<3>(text, 6);
    if (!meld) return std::unexpected(std::move(meld.error()));
    out.kan<kAnkan>(
        event::Ankan{.actor = actor, .consumed = {meld->consumed[0], meld->consumed[1], meld->consumed[2], meld->pai}});
    return {};
  }
  if (text.size() != 3) return invalid_notation(text);
  Tile pai;  // "60": the drawn tile, filled in by the pairing
  if (text.substr(1, 2) != "60") {
    auto tile = tile_field(text, 1);
    if (!tile) return std::unexpected(std::move(tile.error()));
    pai = *tile;
  }
  out.reach(event::Reach{.actor = actor});
  out.dahai(event::Dahai{.actor = actor, .pai = pai, .tsumogiri = pai.is_placeholder()});
  return {};
}

std::expected<void, EntryFailure> decode_discard(const ActionItem& entry, Seat actor, DiscardSteps& out) {
  if (const auto* tile = std::get_if<Tile>(&entry)) {
    // Code 0 here is the placeholder after a daiminkan; the pairing drops it.
    out.dahai(event::Dahai{.actor = actor, .pai = *tile, .tsumogiri = false});
    return {};
  }
  if (std::holds_alternative<std::uint8_t>(entry)) {
    // The log writes 60 for a discard of the tile just drawn.
    out.dahai(event::Dahai{.actor = actor, .pai = Tile(), .tsumogiri = true});
    return {};
  }
  return decode_discard_text(std::get<std::string>(entry), actor, out);
}

// Room a list is first given: more than a seat's list in a real hand, so a
// log's lists are allocated once rather than grown (and their events moved)
// each time a hand is longer than those before it.
constexpr std::size_t kListReserve = 32;

std::expected<void, EntryFailure> read_takes(const SeatRecord& record, Seat seat, std::vector<Event>& takes) {
  ListFiller out(takes);
  takes.reserve(std::max(record.takes.size(), kListReserve));
  for (const ActionItem& entry : record.takes) {
    if (auto take = decode_take(entry, seat, out); !take) return take;
  }
  return {};
}

std::expected<void, EntryFailure> read_discards(const SeatRecord& record, Seat seat, SeatLists& out) {
  DiscardSteps steps(out.takes, out.discards);
  out.discards.reserve(std::max(record.discards.size() + 1, kListReserve));  // + 1: a riichi adds an event
  for (const ActionItem& entry : record.discards) {
    if (auto discard = decode_discard(entry, seat, steps); !discard) return discard;
  }
  return {};
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
  if (auto read = read_takes(record, seat, out.takes); !read) {
    out.discards.clear();
    return std::unexpected(located(std::move(read.error()), hand, seat));
  }
  if (auto read = read_discards(record, seat, out); !read) {
    return std::unexpected(located(std::move(read.error()), hand, seat));
  }
  return {};
}

}  // namespace kiroku::conv
