#include "kiroku/read/xml_attributes.h"

#include <array>
#include <limits>

#include "kiroku/io/utf8.h"

namespace kiroku::detail {

namespace {

constexpr unsigned kMaxTileId = kTileIdCount - 1;
constexpr std::int32_t kScoreLimit = std::numeric_limits<std::int32_t>::max() / kPointsPerUnit;

int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<TileId> tile_id_in_name(std::string_view digits) noexcept {
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  unsigned id = 0;
  for (const char c : digits) {
    const auto digit = static_cast<unsigned>(c - '0');
    if (digit > 9) return std::nullopt;
    id = id * 10 + digit;
  }
  if (id >= kTileIdCount) return std::nullopt;
  return static_cast<TileId>(id);
}

std::optional<std::size_t> read_tile_ids(std::string_view text, std::size_t count, TileId* out,
                                         std::vector<TileId>* list) noexcept {
  std::size_t found = 0;
  const char* next = text.data();
  const char* const end = next + text.size();
  while (next != end) {
    unsigned id = 0;
    std::size_t digits = 0;
    for (; next != end && static_cast<unsigned>(*next - '0') <= 9 && digits <= 3; ++next, ++digits) {
      id = id * 10 + static_cast<unsigned>(*next - '0');
    }
    const bool separated = next == end || (*next == ',' && next + 1 != end);
    if (digits == 0 || digits > 3 || id > kMaxTileId || !separated) return std::nullopt;
    if (list != nullptr) {
      list->push_back(static_cast<TileId>(id));
    } else if (found < count) {
      out[found] = static_cast<TileId>(id);
    }
    ++found;
    if (next != end) ++next;  // the comma
  }
  return found;
}

namespace {

// Reads comma-separated numbers in hundreds into `out` as points, as many as
// it holds: how many the text holds, or nothing when one is not a number.
template <std::size_t N>
std::optional<std::size_t> read_hundreds(std::string_view text, std::array<std::int32_t, N>& out) noexcept {
  std::size_t found = 0;
  bool valid = true;
  for_each_field(text, [&](std::string_view field) {
    const auto value = parse_number<std::int32_t>(field, -kScoreLimit, kScoreLimit);
    if (!value) valid = false;
    if (valid && found < N) out[found] = *value * kPointsPerUnit;
    ++found;
  });
  if (!valid) return std::nullopt;
  return found;
}

}  // namespace

std::optional<Scores> read_scores(std::string_view text) noexcept {
  Scores scores{};
  if (read_hundreds(text, scores) != kSeatCount) return std::nullopt;
  return scores;
}

ScoreChanges read_score_changes(std::string_view text) noexcept {
  std::array<std::int32_t, 2 * kSeatCount> fields{};
  const auto found = read_hundreds(text, fields);
  if (!found) return {};
  if (*found != fields.size()) return {.changes = std::nullopt, .fields = *found};
  Scores changes{};
  for (std::size_t seat = 0; seat < kSeatCount; ++seat) changes[seat] = fields[2 * seat + 1];
  return {.changes = changes, .fields = *found};
}

std::optional<std::string> url_decoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (!is_valid_utf8(out)) return std::nullopt;
  return out;
}

}  // namespace kiroku::detail
