// Which reader a log text goes to, told by its first bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace kiroku {

enum class LogFormat {
  TenhouJson,  // the version-6 JSON log: everything that is not the XML log
  TenhouXml,   // the XML log
};

// The length of a UTF-8 byte order mark at the start of `text` (3), or 0.
// Editors on Windows start files with one; neither reader wants it.
std::size_t byte_order_mark_size(std::string_view text) noexcept;

// TenhouXml when the text's first character after JSON's whitespace is '<',
// which no JSON document starts with (the XML reader then decides whether
// it is a Tenhou log); TenhouJson for every other text, whatever it holds.
LogFormat detect_log_format(std::string_view text) noexcept;

}  // namespace kiroku
