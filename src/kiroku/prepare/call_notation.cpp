#include "kiroku/prepare/call_notation.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "kiroku/tile_code.h"

namespace kiroku {

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

// Reads a meld written as two-byte fields around one letter at `letter`
// into `out`: the field right after the letter is the claimed or added tile,
// the other `from_hand`, left to right, come from the hand.  Fields before the letter
// sit at 0, 2, ...; after it at letter + 1, letter + 3, ...
std::expected<void, EntryFailure> read_meld(std::string_view text, std::size_t letter, std::size_t from_hand,
                                            ListEntry& out) {
  auto pai = tile_field(text, letter + 1);
  if (!pai) return std::unexpected(std::move(pai.error()));
  out.pai = *pai;
  std::size_t filled = 0;
  for (std::size_t position = 0; position < letter; position += 2) {
    auto tile = tile_field(text, position);
    if (!tile) return std::unexpected(std::move(tile.error()));
    out.consumed[filled++] = *tile;
  }
  for (std::size_t position = letter + 3; filled < from_hand; position += 2) {
    auto tile = tile_field(text, position);
    if (!tile) return std::unexpected(std::move(tile.error()));
    out.consumed[filled++] = *tile;
  }
  return {};
}

// A call whose letter names the seat called from by where it stands: at 0
// the seat before (3 after the caller), at 2 the one across, at
// `after_letter` the one after.
struct PlacedCall {
  char letter;
  std::size_t size;
  std::size_t after_letter;
  ListEntry::Kind kind;
  std::size_t from_hand;  // tiles from the hand
};

constexpr PlacedCall kPon{'p', 7, 4, ListEntry::Kind::Pon, 2};
constexpr PlacedCall kDaiminkan{'m', 9, 6, ListEntry::Kind::Daiminkan, 3};

// Offset of the called-from seat for `call`'s letter at `letter`, or 0 where
// the letter may not stand.
std::size_t seat_offset(const PlacedCall& call, std::size_t letter) {
  if (letter == 0) return 3;
  if (letter == 2) return 2;
  return letter == call.after_letter ? 1 : 0;
}

// The decoders below fill an entry already in place at the end of its list,
// fresh as ListEntry{} makes it.  An entry built elsewhere and copied in is
// written a field at a time and read back whole, and that read waits for the
// writes to drain: in the convert stage of `make bench`, three quarters of
// the reading's time.

// "c" decides before "p" before "m", wherever each stands in the text.
std::expected<void, EntryFailure> decode_call(std::string_view text, Seat actor, ListEntry& out) {
  if (text.find('c') != std::string_view::npos) {
    // A chi is always of the seat before the caller, so the letter leads.
    if (text.size() != 7) return invalid_notation(text);
    out.kind = ListEntry::Kind::Chi;
    out.target = seat_after(actor, 3);
    return read_meld(text, 0, 2, out);
  }
  for (const PlacedCall& call : {kPon, kDaiminkan}) {
    const auto letter = text.find(call.letter);
    if (letter == std::string_view::npos) continue;
    const std::size_t offset = seat_offset(call, letter);
    if (text.size() != call.size || offset == 0) return invalid_notation(text);
    out.kind = call.kind;
    out.target = seat_after(actor, offset);
    return read_meld(text, letter, call.from_hand, out);
  }
  return invalid_notation(text);
}

std::expected<void, EntryFailure> decode_take(const ActionItem& entry, Seat actor, ListEntry& out) {
  if (const auto* tile = std::get_if<Tile>(&entry)) {
    out.pai = *tile;  // a Tsumo, the kind a fresh entry has
    return {};
  }
  if (const auto* number = std::get_if<std::uint8_t>(&entry)) {
    return std::unexpected(EntryFailure{ConversionErrorKind::UnexpectedNumber, {}, *number});
  }
  return decode_call(std::get<NotationText>(entry).view(), actor, out);
}

// "k" decides before "a"; a text with neither is a riichi declaration.
std::expected<void, EntryFailure> decode_discard_text(std::string_view text, ListEntry& out) {
  if (const auto letter = text.find('k'); letter != std::string_view::npos) {
    if (text.size() != 9 || seat_offset(kPon, letter) == 0) return invalid_notation(text);
    out.kind = ListEntry::Kind::Kakan;
    return read_meld(text, letter, 3, out);
  }
  if (text.find('a') != std::string_view::npos) {
    // Four fields at 0, 2, 4 and 7: only "a" at 6 leaves them all digits.
    // The field after the letter is read first, like the added tile of a kakan.
    if (text.size() != 9) return invalid_notation(text);
    out.kind = ListEntry::Kind::Ankan;
    return read_meld(text, 6, 3, out);
  }
  if (text.size() != 3) return invalid_notation(text);
  out.kind = ListEntry::Kind::Dahai;
  out.riichi = true;
  if (text.substr(1, 2) == "60") {
    out.tsumogiri = true;  // its tile comes from the pairing
    return {};
  }
  auto tile = tile_field(text, 1);
  if (!tile) return std::unexpected(std::move(tile.error()));
  out.pai = *tile;
  out.tsumogiri = tile->is_placeholder();  // "00" names the drawn tile too
  return {};
}

std::expected<void, EntryFailure> decode_discard(const ActionItem& entry, ListEntry& out) {
  if (const auto* tile = std::get_if<Tile>(&entry)) {
    // Code 0 here is the placeholder after a daiminkan; the pairing drops it.
    out.kind = ListEntry::Kind::Dahai;
    out.pai = *tile;
    return {};
  }
  if (std::holds_alternative<std::uint8_t>(entry)) {
    // The log writes 60 for a discard of the tile just drawn.
    out.kind = ListEntry::Kind::Dahai;
    out.tsumogiri = true;
    return {};
  }
  return decode_discard_text(std::get<NotationText>(entry).view(), out);
}

// Matches a discard step with the take before it, `take` being null once
// every take is matched: a draw with the discard, riichi or kan that follows
// it, a chi or pon with the discard after the call, a daiminkan with the
// placeholder the log writes in place of a discard.  A tsumogiri gets the
// tile of its draw.  False for the placeholder, which is no step of play.
bool pair_with_take(ListEntry& discard, const ListEntry* take) noexcept {
  if (take == nullptr || discard.kind != ListEntry::Kind::Dahai) return true;
  if (discard.tsumogiri) {
    if (take->kind == ListEntry::Kind::Tsumo) discard.pai = take->pai;
    return true;
  }
  return !discard.pai.is_placeholder();
}

std::expected<void, EntryFailure> read_takes(const JsonSeat& record, Seat seat, std::vector<ListEntry>& takes) {
  takes.clear();
  takes.reserve(record.takes.size());
  for (const ActionItem& item : record.takes) {
    if (auto take = decode_take(item, seat, takes.emplace_back()); !take) {
      takes.pop_back();
      return take;
    }
  }
  return {};
}

// Pairing while reading, rather than in a pass over the finished list, never
// moves an entry to close the gap a dropped placeholder leaves.
std::expected<void, EntryFailure> read_discards(const JsonSeat& record, SeatLists& out) {
  std::vector<ListEntry>& discards = out.discards;
  discards.clear();
  discards.reserve(record.discards.size());
  std::size_t paired = 0;  // takes matched with a discard step so far
  for (const ActionItem& item : record.discards) {
    ListEntry& discard = discards.emplace_back();
    if (auto read = decode_discard(item, discard); !read) {
      discards.pop_back();
      return read;
    }
    const ListEntry* take = paired < out.takes.size() ? &out.takes[paired++] : nullptr;
    if (!pair_with_take(discard, take)) discards.pop_back();
  }
  return {};
}

ConversionError located(EntryFailure failure, HandId hand, Seat seat) {
  ConversionError error;
  error.kind = failure.kind;
  error.hand = hand;
  error.seat = seat;
  error.text = std::move(failure.text);
  error.number = failure.number;
  return error;
}

}  // namespace

std::expected<void, ConversionError> decode_seat_lists(const JsonSeat& record, HandId hand, Seat seat, SeatLists& out) {
  if (auto read = read_takes(record, seat, out.takes); !read) {
    out.discards.clear();
    return std::unexpected(located(std::move(read.error()), hand, seat));
  }
  if (auto read = read_discards(record, out); !read) {
    return std::unexpected(located(std::move(read.error()), hand, seat));
  }
  return {};
}

}  // namespace kiroku
