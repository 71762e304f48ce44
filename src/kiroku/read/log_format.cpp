#include "kiroku/read/log_format.h"

namespace kiroku {

namespace {

constexpr std::string_view kXmlWhitespace = " \t\r\n";

std::string_view skip_whitespace(std::string_view text) noexcept {
  const std::size_t start = text.find_first_not_of(kXmlWhitespace);
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

}  // namespace

LogFormat detect_log_format(std::string_view text) noexcept {
  text = skip_whitespace(text);
  // The declaration's name is followed by whitespace; "<?xml-stylesheet" is
  // another processing instruction, which may not come first.
  if (text.starts_with("<?xml") && text.size() > 5 && kXmlWhitespace.find(text[5]) != std::string_view::npos) {
    const std::size_t end = text.find("?>");
    if (end == std::string_view::npos) return LogFormat::TenhouJson;
    text = skip_whitespace(text.substr(end + 2));
  }
  constexpr std::string_view kRoot = "<mjloggm";
  if (!text.starts_with(kRoot)) return LogFormat::TenhouJson;
  if (text.size() == kRoot.size()) return LogFormat::TenhouXml;  // cut short: the XML reader says so
  const char next = text[kRoot.size()];
  const bool name_ends = next == '>' || next == '/' || kXmlWhitespace.find(next) != std::string_view::npos;
  return name_ends ? LogFormat::TenhouXml : LogFormat::TenhouJson;
}

}  // namespace kiroku
