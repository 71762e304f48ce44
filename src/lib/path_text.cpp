#include "lib/path_text.h"

#include <Python.h>

#include <array>

#include "kiroku/io/quoted_text.h"
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

void append_escaped(std::string& out, std::string_view sequence, char32_t c) {
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
    detail::append_code_point(out, c);
    return;
  }
  out += sequence;
}

}  // namespace

std::string quoted_path(std::string_view path) { return detail::quoted_with(path, append_escaped); }

std::string display_path(std::string_view path) { return decode_utf8_lossy(path); }

}  // namespace kiroku
