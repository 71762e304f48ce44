#include "lib/path_text.h"

#include <Python.h>

#include <array>
#include <cstdint>
#include <cstdio>  // snprintf

#include "kiroku/io/utf8.h"
#include "lib/py_ref.h"

namespace kiroku {

namespace {

// Code points that extend a grapheme although they are not combining marks
// (Other_Grapheme_Extend of the Unicode character database).
constexpr std::array<std::pair<char32_t, char32_t>, 22> kOtherGraphemeExtend = {{
    {0x09BE, 0x09BE},   {0x09D7, 0x09D7},   {0x0B3E, 0x0B3E},   {0x0B57, 0x0B57},   {0x0BBE, 0x0BBE},
    {0x0BD7, 0x0BD7},   {0x0CC2, 0x0CC2},   {0x0CD5, 0x0CD6},   {0x0D3E, 0x0D3E},   {0x0D57, 0x0D57},
    {0x0DCF, 0x0DCF},   {0x0DDF, 0x0DDF},   {0x1B35, 0x1B35},   {0x200C, 0x200C},   {0x302E, 0x302F},
    {0xFF9E, 0xFF9F},   {0x1133E, 0x1133E}, {0x11357, 0x11357}, {0x114B0, 0x114B0}, {0x114BD, 0x114BD},
    {0x1D165, 0x1D165}, {0xE0020, 0xE007F},
}};

// Grapheme_Extend is the combining marks (Mn, Me) plus the list above.  The
// interpreter's character database answers the category; without it a
// character counts as not extending.
bool extends_grapheme(char32_t c) {
  if (c < 0x300) return false;  // no mark below the combining diacriticals
  for (const auto& [first, last] : kOtherGraphemeExtend) {
    if (c >= first && c <= last) return true;
  }
  PyRef database = PyRef::steal(PyImport_ImportModule("unicodedata"));
  PyRef character = database ? PyRef::steal(PyUnicode_FromOrdinal(static_cast<int>(c))) : PyRef();
  PyRef category =
      character ? PyRef::steal(PyObject_CallMethod(database.get(), "category", "O", character.get())) : PyRef();
  if (!category) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_CompareWithASCIIString(category.get(), "Mn") == 0 ||
         PyUnicode_CompareWithASCIIString(category.get(), "Me") == 0;
}

char32_t decode(std::string_view sequence) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<std::uint8_t>(sequence[i])); };
  switch (sequence.size()) {
    case 1: return byte(0);
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default: return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
  }
}

void append_escaped(std::string& out, std::string_view sequence) {
  const char32_t c = decode(sequence);
  switch (c) {
    case U'\\': out += "\\\\"; return;
    case U'"': out += "\\\""; return;
    case U'\'': out += "\\'"; return;
    case U'\t': out += "\\t"; return;
    case U'\r': out += "\\r"; return;
    case U'\n': out += "\\n"; return;
    case U'\0': out += "\\0"; return;
    default: break;
  }
  if (extends_grapheme(c) || !Py_UNICODE_ISPRINTABLE(static_cast<Py_UCS4>(c))) {
    std::array<char, 16> escape{};
    const int size = std::snprintf(escape.data(), escape.size(), "\\u{%x}", static_cast<unsigned>(c));
    out.append(escape.data(), static_cast<std::size_t>(size));
    return;
  }
  out += sequence;
}

}  // namespace

std::string quoted_path(std::string_view path) {
  std::string out;
  out.reserve(path.size() + 2);
  out += '"';
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t invalid_length = 0;
    const std::size_t length = utf8_sequence_length(path.substr(pos), invalid_length);
    if (length == 0) {
      constexpr std::string_view kHex = "0123456789ABCDEF";
      for (std::size_t i = 0; i < invalid_length; ++i) {
        const auto byte = static_cast<std::uint8_t>(path[pos + i]);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
      }
      pos += invalid_length;
      continue;
    }
    append_escaped(out, path.substr(pos, length));
    pos += length;
  }
  out += '"';
  return out;
}

std::string display_path(std::string_view path) { return decode_utf8_lossy(path); }

}  // namespace kiroku
