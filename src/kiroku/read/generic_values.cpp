// Values of any kind: how a found value is described in messages, and
// generic values read whole.

#include "kiroku/read/json_reader_detail.h"

#include <string>
#include <string_view>

#include "kiroku/io/quoted_text.h"

namespace kiroku::detail {

bool RecordReader::check_literal(od::value& value, od::json_type type) {
  if (type == od::json_type::boolean) {
    bool b = false;
    if (value.get_bool().get(b) != simdjson::SUCCESS) return fail_syntax("invalid literal");
    return true;
  }
  bool null = false;
  if (value.is_null().get(null) != simdjson::SUCCESS || !null) return fail_syntax("invalid literal");
  return true;
}

bool RecordReader::describe(od::value& value, std::string& found) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  switch (type) {
    case od::json_type::array: found = "sequence"; return true;
    case od::json_type::object: found = "map"; return true;
    case od::json_type::number: {
      Number number;
      if (!read_number(value, number)) return false;
      found = number.description();
      return true;
    }
    case od::json_type::string: {
      std::string_view text;
      if (const error_code e = value.get_string().get(text)) return fail_json(e);
      found = "string " + quoted_log_text(text);
      return true;
    }
    case od::json_type::boolean: {
      bool b = false;
      if (value.get_bool().get(b) != simdjson::SUCCESS) return fail_syntax("invalid literal");
      found = b ? "boolean `true`" : "boolean `false`";
      return true;
    }
    case od::json_type::null:
      if (!check_literal(value, type)) return false;
      found = "null";
      return true;
  }
  return fail_syntax("unexpected value");
}

bool RecordReader::open_array(od::value& value, std::string_view expected, od::array_iterator& it) {
  od::array array;
  const error_code e = value.get_array().get(array);
  if (e == simdjson::INCORRECT_TYPE) return fail_type(value, expected);
  if (e) return fail_json(e);
  if (const error_code e2 = array.begin().get(it)) return fail_json(e2);
  return true;
}

// Reads one value completely; `level` is the nesting level a container at
// this position has.  With `out` null the value is only checked, as for a
// list entry that turns out to match no alternative.
bool RecordReader::read_generic(od::value& value, int level, JsonValue* out) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  switch (type) {
    case od::json_type::array: {
      if (level >= kMaxNesting) return fail_nesting();
      od::array_iterator it;
      if (!open_array(value, "a sequence", it)) return false;
      JsonValue::Array* array = nullptr;
      if (out != nullptr) array = &out->value.emplace<JsonValue::Array>();
      Elements elements(it);
      for (;;) {
        od::value element;
        bool has = false;
        if (const error_code e = elements.next(element, has)) return fail_json(e);
        if (!has) return true;
        JsonValue* slot = array != nullptr ? &array->emplace_back() : nullptr;
        if (!read_generic(element, level + 1, slot)) return false;
      }
    }
    case od::json_type::object: {
      if (level >= kMaxNesting) return fail_nesting();
      od::object object;
      if (const error_code e = value.get_object().get(object)) return fail_json(e);
      od::object_iterator it;
      if (const error_code e = object.begin().get(it)) return fail_json(e);
      JsonValue::Object* members_out = nullptr;
      if (out != nullptr) members_out = &out->value.emplace<JsonValue::Object>();
      Members members(it);
      for (;;) {
        od::field member;
        bool has = false;
        if (const error_code e = members.next(member, has)) return fail_json(e);
        if (!has) return true;
        std::string_view key;
        if (const error_code e = member.unescaped_key().get(key)) return fail_json(e);
        JsonValue* slot = nullptr;
        if (members_out != nullptr) {
          members_out->push_back(JsonMember{std::string(key), JsonValue{}});
          slot = &members_out->back().value;
        }
        if (!read_generic(member.value(), level + 1, slot)) return false;
      }
    }
    case od::json_type::number: {
      Number number;
      if (!read_number(value, number)) return false;
      if (out != nullptr) *out = number.to_json();
      return true;
    }
    case od::json_type::string: {
      std::string_view text;
      if (const error_code e = value.get_string().get(text)) return fail_json(e);
      if (out != nullptr) out->value.emplace<std::string>(text);
      return true;
    }
    case od::json_type::boolean: {
      bool b = false;
      if (value.get_bool().get(b) != simdjson::SUCCESS) return fail_syntax("invalid literal");
      if (out != nullptr) out->value = b;
      return true;
    }
    case od::json_type::null:
      if (!check_literal(value, type)) return false;
      if (out != nullptr) out->value = JsonNull{};
      return true;
  }
  return fail_syntax("unexpected value");
}

}  // namespace kiroku::detail
