#include "json_tree.h"

#include <simdjson.h>

#include <charconv>
#include <cstdio>

namespace kiroku::fuzz {
namespace {

Json from_element(simdjson::dom::element element) {
  Json out;
  switch (element.type()) {
    case simdjson::dom::element_type::NULL_VALUE: out.kind = Json::Kind::Null; break;
    case simdjson::dom::element_type::BOOL:
      out.kind = element.get_bool().value_unsafe() ? Json::Kind::True : Json::Kind::False;
      break;
    case simdjson::dom::element_type::INT64:
      out.kind = Json::Kind::Integer;
      out.integer = element.get_int64().value_unsafe();
      break;
    case simdjson::dom::element_type::UINT64:
      out.kind = Json::Kind::Number;
      out.text = std::to_string(element.get_uint64().value_unsafe());
      break;
    case simdjson::dom::element_type::DOUBLE: {
      out.kind = Json::Kind::Number;
      char buffer[32];
      // Shortest text that reads back as the same double.
      const auto written = std::to_chars(buffer, buffer + sizeof buffer, element.get_double().value_unsafe());
      out.text.assign(buffer, written.ptr);
      break;
    }
    case simdjson::dom::element_type::STRING:
      out.kind = Json::Kind::String;
      out.text = element.get_string().value_unsafe();
      break;
    case simdjson::dom::element_type::ARRAY:
      out.kind = Json::Kind::Array;
      for (simdjson::dom::element item : element.get_array().value_unsafe()) out.items.push_back(from_element(item));
      break;
    case simdjson::dom::element_type::OBJECT:
      out.kind = Json::Kind::Object;
      for (simdjson::dom::key_value_pair field : element.get_object().value_unsafe()) {
        out.keys.emplace_back(field.key);
        out.items.push_back(from_element(field.value));
      }
      break;
  }
  return out;
}

void write_string(std::string_view text, std::string& out) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

void write_value(const Json& value, std::string& out) {
  switch (value.kind) {
    case Json::Kind::Null: out += "null"; break;
    case Json::Kind::False: out += "false"; break;
    case Json::Kind::True: out += "true"; break;
    case Json::Kind::Integer: out += std::to_string(value.integer); break;
    case Json::Kind::Number: out += value.text; break;
    case Json::Kind::String: write_string(value.text, out); break;
    case Json::Kind::Array:
      out += '[';
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        if (i > 0) out += ',';
        write_value(value.items[i], out);
      }
      out += ']';
      break;
    case Json::Kind::Object:
      out += '{';
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        if (i > 0) out += ',';
        write_string(i < value.keys.size() ? value.keys[i] : std::string_view(), out);
        out += ':';
        write_value(value.items[i], out);
      }
      out += '}';
      break;
  }
}

}  // namespace

Json* Json::member(std::string_view key) noexcept {
  if (kind != Kind::Object) return nullptr;
  for (std::size_t i = 0; i < keys.size() && i < items.size(); ++i) {
    if (keys[i] == key) return &items[i];
  }
  return nullptr;
}

std::optional<Json> parse_json(std::string_view text) {
  // One parser per thread: its buffers are reused from one input to the next.
  thread_local simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (parser.parse(text.data(), text.size()).get(root) != simdjson::SUCCESS) return std::nullopt;
  return from_element(root);
}

std::string write_json(const Json& value) {
  std::string out;
  write_value(value, out);
  return out;
}

}  // namespace kiroku::fuzz
