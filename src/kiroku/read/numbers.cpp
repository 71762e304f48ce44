// Numbers as the log's rules read them: the form a number was written in
// decides its kind, and integer fields take only integer literals in range.

#include "kiroku/read/json_reader_detail.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace kiroku::detail {

bool RecordReader::read_number(od::value& value, Number& out) {
  // Checked before parsing: "-0" parses as the integer 0, but the log's
  // rules count it as floating point.
  const bool negative = value.is_negative();
  od::number number;
  if (value.get_number().get(number) == simdjson::SUCCESS) {
    switch (number.get_number_type()) {
      case od::number_type::signed_integer: {
        const std::int64_t v = number.get_int64();
        if (v > 0 || (v == 0 && !negative)) {
          out = Number::of_unsigned(static_cast<std::uint64_t>(v));
        } else if (v == 0) {
          out = Number::of_float(-0.0);
        } else {
          out = Number::of_signed(v);
        }
        return true;
      }
      case od::number_type::unsigned_integer: out = Number::of_unsigned(number.get_uint64()); return true;
      case od::number_type::floating_point_number: out = Number::of_float(number.get_double()); return true;
    }
  }
  // An integer beyond 64 bits does not parse as a number above but reads
  // as a double; malformed and out-of-range numbers fail both ways.
  double v = 0.0;
  if (const error_code e = value.get_double().get(v)) {
    // A lone "-" is not a number to the double parser; say so plainly.
    return e == simdjson::INCORRECT_TYPE ? fail_syntax("invalid number") : fail_json(e);
  }
  out = Number::of_float(v);
  return true;
}

// ---------------------------------------------------------------------------
// Number fields.  Each tries the common well-formed case first and only works out
// the exact complaint when that fails; a failed On-Demand getter leaves the
// value unconsumed, so it can be looked at again.

// Why a value that the fast getter refused is no integer of the field: its
// type, an integer out of range, or a floating-point number.
bool RecordReader::fail_integer(od::value& value, std::string_view expected) {
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type != od::json_type::number) return fail_type(value, expected);
  Number number;
  if (!read_number(value, number)) return false;
  switch (number.kind) {
    case Number::Kind::kUnsigned: return fail(invalid_integer_message(number.unsigned_value, expected));
    case Number::Kind::kSigned: return fail(invalid_integer_message(number.signed_value, expected));
    case Number::Kind::kFloat: break;
  }
  return fail(type_message(number.description(), expected));
}

template <typename Unsigned>
bool RecordReader::read_unsigned(od::value& value, std::string_view expected, Unsigned& out) {
  std::uint64_t v = 0;
  if (value.get_uint64().get(v) == simdjson::SUCCESS) {
    if (v <= std::numeric_limits<Unsigned>::max()) {
      out = static_cast<Unsigned>(v);
      return true;
    }
    return fail(invalid_integer_message(v, expected));
  }
  return fail_integer(value, expected);
}

bool RecordReader::read_u8(od::value& value, std::uint8_t& out) { return read_unsigned(value, "u8", out); }

bool RecordReader::read_u32(od::value& value, std::uint32_t& out) { return read_unsigned(value, "u32", out); }

bool RecordReader::read_i32(od::value& value, std::int32_t& out) {
  const bool negative = value.is_negative();
  std::int64_t v = 0;
  if (value.get_int64().get(v) == simdjson::SUCCESS) {
    if (v == 0 && negative) return fail(type_message(Number::of_float(-0.0).description(), "i32"));
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()) {
      out = static_cast<std::int32_t>(v);
      return true;
    }
    return fail(invalid_integer_message(v, "i32"));
  }
  return fail_integer(value, "i32");
}

bool RecordReader::read_f64(od::value& value, double& out) {
  // Integers too: the nearest double, as the field takes any number.
  const error_code e = value.get_double().get(out);
  if (e == simdjson::SUCCESS) return true;
  if (e != simdjson::INCORRECT_TYPE) return fail_json(e);
  od::json_type type{};
  if (!type_of(value, type)) return false;
  if (type != od::json_type::number) return fail_type(value, "f64");
  return fail_syntax("invalid number");
}

}  // namespace kiroku::detail
