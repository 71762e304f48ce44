#include "kiroku/read/log_format.h"

namespace kiroku {

std::size_t byte_order_mark_size(std::string_view text) noexcept { return text.starts_with("\xEF\xBB\xBF") ? 3 : 0; }

LogFormat detect_log_format(std::string_view text) noexcept {
  // JSON's whitespace is also XML's.
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  return start != std::string_view::npos && text[start] == '<' ? LogFormat::TenhouXml : LogFormat::TenhouJson;
}

}  // namespace kiroku
