// The log reader's own declarations, shared by the .cpp files of this
// folder and by nothing else: the other stages include json_reader.h, and
// simdjson stays behind it.
#pragma once

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <new>  // bad_alloc
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kiroku/json_log.h"
#include "kiroku/json_value.h"
#include "kiroku/read/json_outline.h"
#include "kiroku/read/json_reader.h"
#include "kiroku/read/read_messages.h"

namespace kiroku::detail {

namespace od = simdjson::ondemand;
using simdjson::error_code;

// A container at this nesting level (the document's outermost container is
// level 1) is refused wherever a value is read into a record or a generic
// value.  Skipped members are exempt.
constexpr int kMaxNesting = 128;

// A hand entry sits in the hand list of the document: level 3.
constexpr int kHandLevel = 3;

// The longest piece of the text the parser reads at once.  Its index takes
// several bytes per byte of the piece, so this bounds what reading takes
// beside the text.  No game's hand entry or listed member comes near it (a
// hand has a few kilobytes): a longer one is refused; a longer member that
// no record lists is checked a part at a time.
constexpr std::size_t kMaxPieceBytes = std::size_t{1} << 20;

constexpr std::string_view kNoActionItem = "data did not match any variant of untagged enum ActionItem";
constexpr std::string_view kNoResultItem = "data did not match any variant of untagged enum ResultItem";

// ---------------------------------------------------------------------------
// Numbers

// A JSON number in the form it was written: a non-negative integer, a
// negative integer, or floating point (a fraction or exponent, "-0", or an
// integer too large for 64 bits).
struct Number {
  enum class Kind : std::uint8_t { kUnsigned, kSigned, kFloat };
  Kind kind = Kind::kUnsigned;
  std::uint64_t unsigned_value = 0;
  std::int64_t signed_value = 0;
  double float_value = 0.0;

  static Number of_unsigned(std::uint64_t v) { return {Kind::kUnsigned, v, 0, 0.0}; }
  static Number of_signed(std::int64_t v) { return {Kind::kSigned, 0, v, 0.0}; }
  static Number of_float(double v) { return {Kind::kFloat, 0, 0, v}; }

  std::string description() const {
    switch (kind) {
      case Kind::kUnsigned: return "integer `" + std::to_string(unsigned_value) + "`";
      case Kind::kSigned: return "integer `" + std::to_string(signed_value) + "`";
      case Kind::kFloat: break;
    }
    return "floating point `" + float_text(float_value) + "`";
  }

  JsonValue to_json() const {
    switch (kind) {
      case Kind::kUnsigned: return JsonValue{unsigned_value};
      case Kind::kSigned: return JsonValue{signed_value};
      case Kind::kFloat: break;
    }
    return JsonValue{float_value};
  }
};

// ---------------------------------------------------------------------------
// Iteration helpers: thin wrappers over the On-Demand iterators that report
// errors as codes.  Every value they hand out points into the parser's
// current document and lives only until the next element is requested.

// The children of an open array (its elements) or object (its members),
// one at a time.
template <typename Iterator, typename Child>
class Children {
 public:
  explicit Children(Iterator it) noexcept : it_(it) {}

  // The next child, or `has` false at the closing bracket or brace.
  [[gnu::always_inline]] error_code next(Child& child, bool& has) noexcept {
    if (started_) ++it_;
    started_ = true;
    has = it_ != it_;  // the comparison only asks whether the container is still open
    if (!has) return simdjson::SUCCESS;
    return (*it_).get(child);
  }

 private:
  Iterator it_;
  bool started_ = false;
};

using Elements = Children<od::array_iterator, od::value>;
using Members = Children<od::object_iterator, od::field>;

// One open container of a skipped value.
struct SkipFrame {
  od::array_iterator elements;
  od::object_iterator members;
  bool is_object = false;
  bool started = false;
};

// ---------------------------------------------------------------------------
// Flat lists

// One entry of a flat list: a plain integer or a plain string.
struct FlatEntry {
  std::int64_t integer = 0;
  std::string_view text;  // points into the document text
  bool is_string = false;
};

// Appends to `out` the entries of the flat list whose opening bracket is at
// `p`, and is true when the whole list is flat: integers of at most 17
// digits with no fraction, exponent or "-0", and strings with no escape or
// control character, with JSON whitespace between the tokens.  It is false
// for anything else, with `out` holding part of the list.
//
// The text must be a PaddedText: its zeroed padding ends every scan.
//
// A flat list is well-formed JSON whose entries On-Demand reads as exactly
// these integers and strings, so the reader can take them from here and
// leave the list unconsumed; the iterator then passes over its tokens
// without looking at them.  A list that is not flat is read entry by entry,
// where every rule and every message lives: nothing is consumed here.
[[nodiscard]] bool scan_flat_list(const char* p, std::vector<FlatEntry>& out);

// ---------------------------------------------------------------------------
// The reader

// Reads one document into a JsonLog.  Each member reads one kind of value
// and returns false at the first failure, with its message in error_; the
// members are defined by job: numbers.cpp, generic_values.cpp (values of
// any kind), skipped_values.cpp (members no record lists), flat_lists.cpp
// (a hand's usual lists, straight from the text) and json_reader.cpp (the
// records and the document).
class RecordReader {
 public:
  explicit RecordReader(od::parser& parser) : parser_(parser) {}

  // Reads every member of the document `text` but its hand list into `out`,
  // and finds the hand list.  `text` must outlive the reader.
  bool open(const PaddedText& text, JsonGame& out);
  // Reads the next entry of the hand list into `out`: `has` false after
  // the last.
  bool next_hand(JsonHand& out, bool& has);
  std::string take_error() { return std::move(error_); }

 private:
  // --- failure --------------------------------------------------------
  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }
  bool fail(std::string_view message) { return fail(std::string(message)); }
  // The parser's failures; running out of memory is not the log's.
  bool fail_json(error_code code) {
    if (code == simdjson::MEMALLOC) throw std::bad_alloc();
    return fail(std::string("malformed JSON: ") + simdjson::error_message(code));
  }
  bool fail_syntax(std::string_view what) { return fail("malformed JSON: " + std::string(what)); }
  bool fail_nesting() { return fail_syntax("recursion limit exceeded (containers nested 128 levels deep)"); }
  bool fail_extra_element(std::string_view expected) {
    return fail("malformed JSON: trailing characters in array, expected " + std::string(expected));
  }

  // --- value kinds and descriptions ----------------------------------
  bool type_of(od::value& value, od::json_type& type) {
    if (const error_code e = value.type().get(type)) return fail_json(e);
    return true;
  }
  bool read_number(od::value& value, Number& out);
  bool check_literal(od::value& value, od::json_type type);
  bool describe(od::value& value, std::string& found);
  bool fail_type(od::value& value, std::string_view expected) {
    std::string found;
    if (!describe(value, found)) return false;
    return fail(type_message(found, expected));
  }
  bool open_array(od::value& value, std::string_view expected, od::array_iterator& it);

  // --- scalars ----------------------------------------------------------
  bool fail_integer(od::value& value, std::string_view expected);
  // An unsigned integer that `Unsigned` holds, named `expected` ("u8") in errors.
  template <typename Unsigned>
  bool read_unsigned(od::value& value, std::string_view expected, Unsigned& out);
  bool read_u8(od::value& value, std::uint8_t& out);
  bool read_u32(od::value& value, std::uint32_t& out);
  bool read_i32(od::value& value, std::int32_t& out);
  bool read_f64(od::value& value, double& out);
  bool read_string(od::value& value, std::string& out);
  bool read_tile(od::value& value, Tile& out);
  bool scan_flat(od::value& value) {
    flat_.clear();
    return scan_flat_list(value.raw_json_token().data(), flat_);
  }
  bool is_null(od::value& value, bool& null);

  // --- lists and fixed arrays -----------------------------------------
  template <typename T, typename ReadElement>
  bool read_list(od::value& value, std::vector<T>& out, ReadElement read_element);
  template <typename ReadElement>
  bool read_exactly(od::value& value, std::size_t count, std::string_view name, std::string_view length_text,
                    ReadElement read_element);
  template <typename T, typename ReadValue>
  bool read_optional(od::value& value, std::optional<T>& out, ReadValue read_value);

  // --- generic values and skipping ------------------------------------
  bool read_generic(od::value& value, int level, JsonValue* out);
  bool skip_value(od::value& value);
  bool check_skipped_scalar(od::value& value, od::json_type type);

  // --- records ----------------------------------------------------------
  template <std::size_t N, typename ReadField>
  bool read_record_object(od::value& value, const std::array<std::string_view, N>& keys, std::array<bool, N>& seen,
                          ReadField read_field);
  bool read_game_field(std::size_t index, od::value& value, JsonGame& out);
  bool read_written_back_field(std::size_t index, od::value& value, JsonGame& out);
  bool read_connection(od::value& value, JsonConnection& out);
  bool read_rule(od::value& value, Rule& out);
  bool read_rule_field(std::size_t index, od::value& value, Rule& out);
  bool read_hand(od::value& value, int level, JsonHand& out);
  bool read_hand_id(od::value& value, HandId& out);
  bool read_action_item(od::value& value, int level, ActionItem& out);
  bool read_result_item(od::value& value, int level, ResultItem& out);
  bool read_result_array(od::value& value, int level, ResultItem& out);

  // --- the document, a member and a hand entry at a time --------------
  template <typename Read>
  bool read_piece(std::size_t begin, std::size_t end, Read read);
  bool skip_piece(std::size_t begin, std::size_t end, int depth = 0);
  bool skip_long_container(std::size_t begin, std::size_t end, int depth);
  bool check_long_scalar(std::size_t begin, std::size_t end);
  bool fail_too_long(std::string_view what, std::size_t size);
  bool find_value(std::size_t& at, std::size_t& end, ElementEnds* elements = nullptr);
  bool is_closed_at(std::size_t at, char closing) const;
  bool after_value(std::size_t& at, char closing, bool& closed);
  bool read_key(std::size_t& at, std::string& key);
  bool read_member(std::size_t index, std::size_t begin, std::size_t end, JsonGame& out);
  bool read_game_object(std::size_t at, JsonGame& out);
  bool read_game_array(std::size_t at, JsonGame& out);
  bool check_document_end(std::size_t at);
  bool fail_after_hands();

  od::parser& parser_;
  std::string_view text_;
  std::size_t hands_begin_ = 0;  // the hand list, found by open()
  std::size_t hands_end_ = 0;
  std::size_t hands_at_ = 0;  // where the next entry is looked for; 0 before the first
  std::size_t hands_read_ = 0;
  ElementEnds hand_ends_;  // of the first entries, noted by open()
  std::size_t hand_ends_read_ = 0;
  bool hands_found_ = false;  // the hand list is an array, whose entries wait
  bool hands_done_ = false;
  std::string error_;
  std::vector<char> piece_;  // the piece being read, in an array of its own
  std::vector<SkipFrame> skip_stack_;
  std::vector<FlatEntry> flat_;  // the entries of the latest flat list
  std::vector<Tile> tile_scratch_;
  std::vector<ActionItem> action_scratch_;
};

}  // namespace kiroku::detail
