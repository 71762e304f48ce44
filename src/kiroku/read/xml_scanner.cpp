#include "kiroku/read/xml_scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>  // memchr, memcpy
#include <optional>

#include "kiroku/io/utf8.h"

namespace kiroku::detail {

namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::string_view kRoot = "mjloggm";

// The declarations the form admits, as Tenhou and common tools write them.
constexpr std::array<std::string_view, 3> kDeclarations = {
    R"(<?xml version="1.0"?>)",
    R"(<?xml version="1.0" encoding="UTF-8"?>)",
    R"(<?xml version="1.0" encoding="utf-8"?>)",
};

bool is_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_name_start(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_name_char(char c) noexcept { return is_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

std::size_t skip_space(std::string_view text, std::size_t at) noexcept {
  while (at < text.size() && is_space(text[at])) ++at;
  return at;
}

// Whether one of the eight bytes of `word` is `byte`, or below `limit`
// (the usual SWAR tests, as in "Bit Twiddling Hacks").
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
constexpr std::uint64_t has_zero(std::uint64_t x) noexcept { return (x - kOnes) & ~x & kHighs; }
constexpr std::uint64_t has_byte(std::uint64_t word, std::uint8_t byte) noexcept {
  return has_zero(word ^ (kOnes * byte));
}
constexpr std::uint64_t has_below(std::uint64_t word, std::uint8_t limit) noexcept {
  return (word - kOnes * limit) & ~word & kHighs;
}

// An attribute value the conforming parser gives back as it stands: no
// markup or reference to decode ('<', '&'), no character its normalisation
// would turn into a space (tab, line feed, carriage return) or refuse (the
// other control characters), and, where it holds more than ASCII, valid
// UTF-8 without the noncharacters U+FFFE and U+FFFF.  Eight bytes at a
// time: the wall's seed alone is some 2,500 bytes a game.
bool is_plain_value(std::string_view value) noexcept {
  std::size_t i = 0;
  bool ascii = true;
  for (; i + 8 <= value.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, value.data() + i, 8);
    if (has_below(word, 0x20) | has_byte(word, '<') | has_byte(word, '&')) return false;
    ascii = ascii && (word & kHighs) == 0;
  }
  for (; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c < 0x20 || c == '<' || c == '&') return false;
    ascii = ascii && c < 0x80;
  }
  return ascii || (is_valid_utf8(value) && value.find("\xEF\xBF\xBE") == kNone && value.find("\xEF\xBF\xBF") == kNone);
}

struct Tag {
  std::string_view name;
  std::size_t end = 0;  // just past the tag
  bool empty = false;   // ended by "/>"
};

// The start tag at `at` ('<' there), its attributes into `attributes`; none
// when it is not in the form.
std::optional<Tag> scan_tag(std::string_view text, std::size_t at, std::vector<XmlAttribute>& attributes) {
  attributes.clear();
  std::size_t p = at + 1;
  if (p >= text.size() || !is_name_start(text[p])) return std::nullopt;
  const std::size_t name_start = p;
  while (p < text.size() && is_name_char(text[p])) ++p;
  Tag tag{.name = text.substr(name_start, p - name_start)};
  for (;;) {
    const std::size_t q = skip_space(text, p);
    if (q >= text.size()) return std::nullopt;
    if (text[q] == '/') {
      if (q + 1 >= text.size() || text[q + 1] != '>') return std::nullopt;
      tag.end = q + 2;
      tag.empty = true;
      return tag;
    }
    if (text[q] == '>') {
      tag.end = q + 1;
      return tag;
    }
    // An attribute, after whitespace: name="value".
    if (q == p || !is_name_start(text[q])) return std::nullopt;
    p = q;
    while (p < text.size() && is_name_char(text[p])) ++p;
    const std::string_view name = text.substr(q, p - q);
    p = skip_space(text, p);
    if (p >= text.size() || text[p] != '=') return std::nullopt;
    p = skip_space(text, p + 1);
    if (p >= text.size() || text[p] != '"') return std::nullopt;
    const void* quote = std::memchr(text.data() + p + 1, '"', text.size() - p - 1);
    if (quote == nullptr) return std::nullopt;
    const std::size_t value_end = static_cast<std::size_t>(static_cast<const char*>(quote) - text.data());
    const std::string_view value = text.substr(p + 1, value_end - p - 1);
    if (!is_plain_value(value)) return std::nullopt;
    // A repeated attribute is an error the conforming parser reports.
    if (std::ranges::any_of(attributes, [&](const XmlAttribute& a) { return a.name == name; })) return std::nullopt;
    attributes.push_back({name, value});
    p = value_end + 1;
  }
}

// Where the root's content starts, after the declaration and the root's
// start tag; none when those are not in the form.
std::optional<std::size_t> root_content(std::string_view text, std::size_t& root_offset,
                                        std::vector<XmlAttribute>& attributes) {
  std::size_t at = 0;
  for (const std::string_view declaration : kDeclarations) {
    if (text.starts_with(declaration)) at = declaration.size();
  }
  at = skip_space(text, at);
  if (at >= text.size() || text[at] != '<') return std::nullopt;
  const auto root = scan_tag(text, at, attributes);
  if (!root || root->name != kRoot || root->empty) return std::nullopt;
  root_offset = at + 1;
  return root->end;
}

// The root's end tag at `at`, and nothing but whitespace after it.
bool is_document_end(std::string_view text, std::size_t at) noexcept {
  if (text.substr(at, 2 + kRoot.size()) != "</mjloggm") return false;
  const std::size_t close = skip_space(text, at + 2 + kRoot.size());
  return close < text.size() && text[close] == '>' && skip_space(text, close + 1) == text.size();
}

}  // namespace

XmlScanner::XmlScanner(std::string_view text) : text_(text) {
  std::vector<XmlAttribute> attributes;
  const auto content = root_content(text_, root_offset_, attributes);
  in_form_ = content.has_value();
  at_ = content.value_or(0);
}

XmlScanner::Step XmlScanner::next(XmlElement& element, std::vector<XmlAttribute>& attributes) {
  if (!in_form_) return Step::Unsupported;
  at_ = skip_space(text_, at_);
  // Text in the root, or its end tag missing, is for the parser to judge.
  if (at_ >= text_.size() || text_[at_] != '<') return Step::Unsupported;
  if (text_.substr(at_, 2) == "</") return is_document_end(text_, at_) ? Step::End : Step::Unsupported;
  const auto tag = scan_tag(text_, at_, attributes);
  if (!tag || !tag->empty) return Step::Unsupported;
  element.name = tag->name;
  element.attributes = attributes;
  element.known_offset = at_ + 1;
  element.locate = nullptr;
  at_ = tag->end;
  return Step::Element;
}

}  // namespace kiroku::detail
