#include "kiroku/encode/json_writer.h"

namespace kiroku::detail {

namespace {

constexpr bool needs_escape(unsigned char c) noexcept { return c < 0x20 || c == '"' || c == '\\'; }

constexpr std::array<std::string_view, 32> kControlEscapes = {
    "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
    "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
    "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
    "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f",
};

// The escape of each byte below 0x20, and of '"' and '\\'; empty for bytes
// that are copied.
constexpr std::string_view escape_of(unsigned char c) noexcept {
  if (c < 0x20) return kControlEscapes[c];
  if (c == '"') return "\\\"";
  if (c == '\\') return "\\\\";
  return {};
}

}  // namespace

void JsonWriter::string(std::string_view text) noexcept {
  raw('"');
  std::size_t copied = 0;  // text before this offset is already written
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Tested inline first: names and texts are long runs of bytes that are
    // copied (every byte of a UTF-8 sequence is one).
    if (!needs_escape(static_cast<unsigned char>(text[i]))) continue;
    const std::string_view escape = escape_of(static_cast<unsigned char>(text[i]));
    raw(text.substr(copied, i - copied));
    raw(escape);
    copied = i + 1;
  }
  raw(text.substr(copied));
  raw('"');
}

}  // namespace kiroku::detail
