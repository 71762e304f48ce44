// Which reader a log text goes to, told by its first bytes.
#pragma once

#include <string_view>

namespace kiroku {

enum class LogFormat {
  TenhouJson,  // the version-6 JSON log: everything that is not the XML log
  TenhouXml,   // the XML log, whose root element is <mjloggm>
};

// TenhouXml when, after optional whitespace and an optional XML declaration
// (<?xml ... ?> and whitespace after it), the text's first element is
// mjloggm; TenhouJson for every other text, whatever it holds.
LogFormat detect_log_format(std::string_view text) noexcept;

}  // namespace kiroku
