// The texts of Tenhou's XML log attributes and element names: decimal
// numbers, comma-separated lists, tile ids and URL-encoded names.  Plain
// functions of text; which element and attribute a text came from, the
// reader says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kiroku/game.h"
#include "kiroku/tile_id.h"

namespace kiroku::detail {

// Scores and score changes are written in hundreds of points.
inline constexpr std::int32_t kPointsPerUnit = 100;

// A number: decimal digits, with a minus sign first where `min` allows one,
// and no other character.  Written out rather than left to from_chars: the
// numbers are short and many (every draw and discard is one), and this is
// the reader's inner loop.
template <typename Number>
std::optional<Number> parse_number(std::string_view text, Number min, Number max) noexcept {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  // Ten digits hold every value of the fields read here and cannot overflow 64 bits.
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    const auto digit = static_cast<unsigned>(c - '0');
    if (digit > 9) return std::nullopt;
    value = value * 10 + digit;
  }
  if (negative) value = -value;
  if (value < static_cast<std::int64_t>(min) || value > static_cast<std::int64_t>(max)) return std::nullopt;
  return static_cast<Number>(value);
}

// Calls `each(field)` for every comma-separated field of `text`.
template <typename Each>
void for_each_field(std::string_view text, Each each) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ',') continue;
    each(text.substr(start, i - start));
    start = i + 1;
  }
  each(text.substr(start));
}

// The tile id that ends an element's name ("T12": 12), or nothing unless it
// is one to three digits from 0 to 135.
std::optional<TileId> tile_id_in_name(std::string_view digits) noexcept;

// Reads comma-separated tile ids: exactly `count` of them into `out` (then
// `list` is null), or any number, none included, appended to `list`.
// Returns how many the text holds, or nothing when something in it is not a
// tile id from 0 to 135.  A starting hand is read through here: the digits
// in one pass.
std::optional<std::size_t> read_tile_ids(std::string_view text, std::size_t count, TileId* out,
                                         std::vector<TileId>* list) noexcept;

// Scores of the four seats in hundreds ("250,250,250,250"), as points.
std::optional<Scores> read_scores(std::string_view text) noexcept;

// "sc": each seat's score and its change in hundreds, in turns; the changes
// as points.  The error is the number of fields when they are numbers but
// not eight, or 0 when one is not a number.
struct ScoreChanges {
  std::optional<Scores> changes;
  std::size_t fields = 0;
};
ScoreChanges read_score_changes(std::string_view text) noexcept;

// Player names are URL-encoded UTF-8: every %HH is one byte.  Nothing when
// an escape is cut short or the bytes are not UTF-8.
std::optional<std::string> url_decoded(std::string_view text);

}  // namespace kiroku::detail
