#include "kiroku/tile_code.h"

#include <charconv>  // from_chars

#include "kiroku/io/utf8.h"

namespace kiroku {

std::expected<Tile, InvalidTileCode> tile_from_text(std::string_view text) {
  // An unsigned parse accepts one leading '+'; from_chars does not, so it is
  // stripped here, and from_chars must then consume every remaining byte (it
  // refuses a sign, a second '+' and values above 255 by itself).
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::uint8_t code = 0;
  const char* end = digits.data() + digits.size();
  auto [ptr, ec] = std::from_chars(digits.data(), end, code);
  if (ec == std::errc{} && ptr == end && !digits.empty()) {
    if (auto tile = tile_from_code(code)) return *tile;
  }
  return std::unexpected(InvalidTileCode{decode_utf8_lossy(text)});
}

std::string invalid_tile_code_message(std::uint64_t value) {
  std::string message = "invalid value: " + std::to_string(value) + ", expected one of: ";
  bool first = true;
  for (std::uint8_t code = 0; code < detail::kCodeTableSize; ++code) {
    if (((detail::kValidCodeMask >> code) & 1) == 0) continue;
    if (!first) message += ", ";
    message += std::to_string(code);
    first = false;
  }
  return message;
}

}  // namespace kiroku
