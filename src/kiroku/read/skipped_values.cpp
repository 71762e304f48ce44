// Members a record does not list: passed over, but checked for syntax down
// to every scalar, at any depth.

#include "kiroku/read/json_reader_detail.h"

#include <algorithm>  // any_of
#include <cstddef>
#include <string_view>

#include "kiroku/io/utf8.h"

#include "kiroku/read/json_keys.h"

namespace kiroku::detail {

namespace {

// The text of a well-formed JSON number, nothing before or after it.
bool is_number_text(std::string_view text) {
  std::size_t i = 0;
  const auto digit_at = [&](std::size_t k) { return k < text.size() && is_digit(text[k]); };
  if (i < text.size() && text[i] == '-') ++i;
  if (!digit_at(i)) return false;
  if (text[i] == '0') {
    ++i;
  } else {
    while (digit_at(i)) ++i;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digit_at(i)) return false;
    while (digit_at(i)) ++i;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digit_at(i)) return false;
    while (digit_at(i)) ++i;
  }
  return i == text.size();
}

// Checks the escapes of a string whose opening quote precedes `p`.  The
// scanner already found the closing quote and refused raw control
// characters; what is left is that every backslash starts a valid escape.
// An escaped lone surrogate passes: it is only refused where a string is
// actually decoded.
bool has_valid_escapes(const char* p) {
  for (;;) {
    const char c = *p++;
    if (c == '"') return true;
    if (c != '\\') continue;
    switch (*p++) {
      case '"':
      case '\\':
      case '/':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't': break;
      case 'u':
        for (int k = 0; k < 4; ++k) {
          if (!is_hex_digit(*p++)) return false;
        }
        break;
      default: return false;
    }
  }
}

}  // namespace

// A scalar too long to be read as a piece of its own (a string or number;
// no literal is this long), checked where it stands.
bool RecordReader::check_long_scalar(std::size_t begin, std::size_t end) {
  const std::string_view token = text_.substr(begin, end - begin);
  if (token.front() != '"') {
    if (token.front() != '-' && !is_digit(token.front())) return fail_syntax("invalid literal");
    if (!is_number_text(token)) return fail_syntax("invalid number");
    return true;
  }
  const std::string_view content = token.substr(1, token.size() - 2);
  if (std::ranges::any_of(content, [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    return fail_json(simdjson::UNESCAPED_CHARS);
  }
  if (!is_valid_utf8(content)) return fail_json(simdjson::UTF8_ERROR);
  if (!has_valid_escapes(token.data() + 1)) return fail_syntax("invalid escape in string");
  return true;
}

bool RecordReader::check_skipped_scalar(od::value& value, od::json_type type) {
  switch (type) {
    case od::json_type::string: {
      od::raw_json_string raw;
      if (const error_code e = value.get_raw_json_string().get(raw)) return fail_json(e);
      if (!has_valid_escapes(raw.raw())) return fail_syntax("invalid escape in string");
      return true;
    }
    case od::json_type::number: {
      // Only the syntax counts: a skipped 1e400 is as good as any number.
      std::string_view token = value.raw_json_token();
      while (!token.empty() &&
             (token.back() == ' ' || token.back() == '\t' || token.back() == '\n' || token.back() == '\r')) {
        token.remove_suffix(1);
      }
      if (!is_number_text(token)) return fail_syntax("invalid number");
      return true;
    }
    default: return check_literal(value, type);
  }
}

// Passes over a member the record does not list.  Its value is checked for
// syntax down to every scalar, but with no nesting limit, so the walk keeps
// its own stack instead of recursing.
bool RecordReader::skip_value(od::value& first) {
  skip_stack_.clear();
  od::value current = first;
  for (;;) {
    od::json_type type{};
    if (!type_of(current, type)) return false;
    if (type == od::json_type::array) {
      od::array array;
      if (const error_code e = current.get_array().get(array)) return fail_json(e);
      SkipFrame frame;
      if (const error_code e = array.begin().get(frame.elements)) return fail_json(e);
      skip_stack_.push_back(frame);
    } else if (type == od::json_type::object) {
      od::object object;
      if (const error_code e = current.get_object().get(object)) return fail_json(e);
      SkipFrame frame;
      frame.is_object = true;
      if (const error_code e = object.begin().get(frame.members)) return fail_json(e);
      skip_stack_.push_back(frame);
    } else if (!check_skipped_scalar(current, type)) {
      return false;
    }

    // Find the next value to look at: the next element or member of the
    // innermost container that still has one.
    for (;;) {
      if (skip_stack_.empty()) return true;
      SkipFrame& frame = skip_stack_.back();
      if (frame.is_object) {
        if (frame.started) ++frame.members;
        frame.started = true;
        if (!(frame.members != frame.members)) {
          skip_stack_.pop_back();
          continue;
        }
        od::field member;
        if (const error_code e = (*frame.members).get(member)) return fail_json(e);
        if (!has_valid_escapes(member.key().raw())) {
          return fail_syntax("invalid escape in string");
        }
        current = member.value();
      } else {
        if (frame.started) ++frame.elements;
        frame.started = true;
        if (!(frame.elements != frame.elements)) {
          skip_stack_.pop_back();
          continue;
        }
        if (const error_code e = (*frame.elements).get(current)) return fail_json(e);
      }
      break;
    }
  }
}

}  // namespace kiroku::detail
