#include "kiroku/read/json_reader.h"

#include <gtest/gtest.h>

#include "json_documents.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "kiroku/tile.h"
#include "kiroku/tile_code.h"

namespace kiroku {
namespace {

// The reader's message for `text`, or "<accepted>".
std::string error_of(std::string_view text) {
  auto log = read_json_log(PaddedText::copy_of(text));
  return log ? std::string("<accepted>") : log.error().message;
}

// Failures of the JSON layer itself (syntax, trailing text, nesting) share
// this prefix; the fixed messages of the record mapping never start so.
constexpr std::string_view kJsonLayer = "malformed JSON:";

bool is_json_layer_error(const std::string& message) { return message.starts_with(kJsonLayer); }

std::string document_with_hand(const std::string& hand) {
  return R"({"log":[)" + hand + R"(],"name":["A","B","C","D"],"rule":{}})";
}

std::string document_with_members(std::string_view extra) {
  return R"({"log":[],"name":["A","B","C","D"],"rule":{})" + std::string(extra) + "}";
}

std::string document_with_rule(std::string_view rule) {
  return R"({"log":[],"name":["A","B","C","D"],"rule":)" + std::string(rule) + "}";
}

struct Case {
  std::string text;
  std::string message;
};

void expect_messages(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 300));
    EXPECT_EQ(error_of(c.text), c.message);
  }
}

void expect_json_layer_errors(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 300));
    const std::string message = error_of(text);
    EXPECT_TRUE(is_json_layer_error(message)) << message;
  }
}

TEST(json_reader_error_test, required_fields_missing_name_the_first_in_declaration_order) {
  expect_messages({
      {R"({"name":["A","B","C","D"],"rule":{}})", "missing field `log`"},
      {R"({"name":["A","B","C","D"]})", "missing field `log`"},
      {R"({"log":[],"rule":{}})", "missing field `name`"},
      {R"({"log":[]})", "missing field `name`"},
      {R"({"log":[],"name":["A","B","C","D"]})", "missing field `rule`"},
      {R"({})", "missing field `log`"},
      // Keys match exactly: a different letter case is an unlisted member.
      {R"({"Log":[],"name":["A","B","C","D"],"rule":{}})", "missing field `log`"},
  });
}

TEST(json_reader_error_test, a_listed_key_may_not_repeat) {
  expect_messages({
      {document_with_members(R"(,"name":["A","B","C","D"])"), "duplicate field `name`"},
      // Refused before the second value is read, even a malformed one.
      {document_with_members(R"(,"rule":[tru])"), "duplicate field `rule`"},
      // Compared after unescaping.
      {document_with_members(R"(,"\u006cog":[])"), "duplicate field `log`"},
      {document_with_members(R"(,"lobby":1,"lobby":null)"), "duplicate field `lobby`"},
      {document_with_rule(R"({"aka":1,"disp":"","aka":1})"), "duplicate field `aka`"},
      {document_with_members(R"(,"sc":[],"sc":[tru])"), "duplicate field `sc`"},
      {document_with_members(R"(,"connection":[{"what":1,"what":0}])"), "duplicate field `what`"},
  });
  // Unlisted keys may repeat.
  EXPECT_EQ(error_of(document_with_members(R"(,"x":1,"x":2,"x":{})")), "<accepted>");
}

TEST(json_reader_error_test, type_messages_describe_the_value_found) {
  expect_messages({
      {document_with_rule(R"({"disp":null})"), "invalid type: null, expected a string"},
      {document_with_rule(R"({"disp":5})"), "invalid type: integer `5`, expected a string"},
      {document_with_rule(R"({"disp":-5})"), "invalid type: integer `-5`, expected a string"},
      {document_with_rule(R"({"disp":1.5})"), "invalid type: floating point `1.5`, expected a string"},
      {document_with_rule(R"({"disp":true})"), "invalid type: boolean `true`, expected a string"},
      {document_with_rule(R"({"disp":false})"), "invalid type: boolean `false`, expected a string"},
      {document_with_rule(R"({"disp":[]})"), "invalid type: sequence, expected a string"},
      {document_with_rule(R"({"disp":{}})"), "invalid type: map, expected a string"},
      {document_with_rule(R"({"aka":"abc"})"), "invalid type: string \"abc\", expected u8"},
      {document_with_rule(R"({"aka":"q\"b\\s\n\u0001"})"),
       "invalid type: string \"q\\\"b\\\\s\\n\\u{1}\", expected u8"},
      {document_with_rule(R"({"aka":null})"), "invalid type: null, expected u8"},
      {document_with_rule("5"), "invalid type: integer `5`, expected struct Rule"},
      {document_with_rule(R"("x")"), "invalid type: string \"x\", expected struct Rule"},
      {R"({"log":{},"name":["A","B","C","D"],"rule":{}})", "invalid type: map, expected a sequence"},
      {R"({"log":[],"name":"ABCD","rule":{}})", "invalid type: string \"ABCD\", expected an array of length 4"},
      {R"({"log":[],"name":["A","B","C",1],"rule":{}})", "invalid type: integer `1`, expected a string"},
      {document_with_members(R"(,"ratingc":5)"), "invalid type: integer `5`, expected a string"},
      {document_with_members(R"(,"lobby":"1")"), "invalid type: string \"1\", expected i32"},
      {document_with_members(R"(,"dan":"x")"), "invalid type: string \"x\", expected a sequence"},
      {document_with_members(R"(,"dan":[1])"), "invalid type: integer `1`, expected a string"},
      {document_with_members(R"(,"rate":[1500,"x"])"), "invalid type: string \"x\", expected f64"},
      {document_with_members(R"(,"rate":[null])"), "invalid type: null, expected f64"},
      {document_with_members(R"(,"sx":{})"), "invalid type: map, expected a sequence"},
      {document_with_members(R"(,"sc":[1,"x"])"), "invalid type: string \"x\", expected f64"},
      {document_with_members(R"(,"connection":null)"), "invalid type: null, expected a sequence"},
      {document_with_members(R"(,"connection":[[]])"), "invalid type: sequence, expected struct Connection"},
      {document_with_members(R"(,"connection":[{"step":-1}])"), "invalid value: integer `-1`, expected u32"},
      {document_with_hand("{}"), "invalid type: map, expected tuple struct Inner"},
      {document_with_hand(hand_entry({{0, "5"}})), "invalid type: integer `5`, expected tuple struct Inner"},
      {document_with_hand(hand_entry({{1, "{}"}})), "invalid type: map, expected an array of length 4"},
      {document_with_hand(hand_entry({{1, R"([0,0,0,"0"])"}})), "invalid type: string \"0\", expected i32"},
      {document_with_hand(hand_entry({{2, "null"}})), "invalid type: null, expected a sequence"},
      {document_with_hand(hand_entry({{7, "11"}})), "invalid type: integer `11`, expected an array of size 13"},
      {document_with_hand(hand_entry({{8, "{}"}})), "invalid type: map, expected a sequence"},
      {document_with_hand(hand_entry({{16, R"("流局")"}})), "invalid type: string \"流局\", expected a sequence"},
  });
}

TEST(json_reader_error_test, integer_fields_take_only_integer_literals_in_range) {
  expect_messages({
      {document_with_rule(R"({"aka":256})"), "invalid value: integer `256`, expected u8"},
      {document_with_rule(R"({"aka":-1})"), "invalid value: integer `-1`, expected u8"},
      {document_with_rule(R"({"aka":18446744073709551615})"),
       "invalid value: integer `18446744073709551615`, expected u8"},
      {document_with_rule(R"({"aka":1.0})"), "invalid type: floating point `1.0`, expected u8"},
      {document_with_rule(R"({"aka":1e2})"), "invalid type: floating point `100.0`, expected u8"},
      {document_with_rule(R"({"aka":1E-7})"), "invalid type: floating point `0.0000001`, expected u8"},
      {document_with_rule(R"({"aka":-0})"), "invalid type: floating point `-0.0`, expected u8"},
      {document_with_rule(R"({"aka":-0.0})"), "invalid type: floating point `-0.0`, expected u8"},
      // Too large for 64 bits: floating point, in plain decimal digits.
      {document_with_rule(R"({"aka":123456789012345678901234567890})"),
       "invalid type: floating point `123456789012345680000000000000.0`, expected u8"},
      {document_with_members(R"(,"lobby":2147483648)"), "invalid value: integer `2147483648`, expected i32"},
      {document_with_members(R"(,"lobby":-2147483649)"), "invalid value: integer `-2147483649`, expected i32"},
      {document_with_members(R"(,"lobby":1.5)"), "invalid type: floating point `1.5`, expected i32"},
      {document_with_members(R"(,"lobby":-0)"), "invalid type: floating point `-0.0`, expected i32"},
      {document_with_members(R"(,"lobby":9223372036854775808)"),
       "invalid value: integer `9223372036854775808`, expected i32"},
      {document_with_hand(hand_entry({{0, "[0,256,0]"}})), "invalid value: integer `256`, expected u8"},
      {document_with_hand(hand_entry({{1, "[0,0,0,2147483648]"}})),
       "invalid value: integer `2147483648`, expected i32"},
  });
}

TEST(json_reader_error_test, tile_positions_take_only_tile_codes) {
  expect_messages({
      {document_with_hand(hand_entry({{2, "[60]"}})), invalid_tile_code_message(60)},
      {document_with_hand(hand_entry({{3, "[11,54]"}})), invalid_tile_code_message(54)},
      {document_with_hand(hand_entry({{4, "[10,12,13,14,15,16,17,18,19,21,22,23,24]"}})),
       invalid_tile_code_message(10)},
      {document_with_hand(hand_entry({{13, "[11,12,13,14,15,16,17,18,19,21,22,23,255]"}})),
       invalid_tile_code_message(255)},
      {document_with_hand(hand_entry({{2, "[256]"}})), "invalid value: integer `256`, expected u8"},
      {document_with_hand(hand_entry({{2, "[-11]"}})), "invalid value: integer `-11`, expected u8"},
      {document_with_hand(hand_entry({{2, "[11.0]"}})), "invalid type: floating point `11.0`, expected u8"},
      {document_with_hand(hand_entry({{2, R"(["11"])"}})), "invalid type: string \"11\", expected u8"},
  });
  EXPECT_EQ(invalid_tile_code_message(60),
            "invalid value: 60, expected one of: 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22, 23, 24, 25, 26, "
            "27, 28, 29, 31, 32, 33, 34, 35, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47, 51, 52, 53");
}

TEST(json_reader_error_test, fixed_length_arrays_refuse_fewer_elements_by_length) {
  expect_messages({
      {R"({"log":[],"name":["A","B","C"],"rule":{}})", "invalid length 3, expected an array of length 4"},
      {R"({"log":[],"name":[],"rule":{}})", "invalid length 0, expected an array of length 4"},
      {document_with_hand("[[0,0,0]]"), "invalid length 1, expected tuple struct Inner with 17 elements"},
      {document_with_hand(hand_entry().substr(0, hand_entry().rfind(",[\"")) + "]"),
       "invalid length 16, expected tuple struct Inner with 17 elements"},
      {document_with_hand(hand_entry({{0, "[0,0]"}})), "invalid length 2, expected tuple struct Inner with 3 elements"},
      {document_with_hand(hand_entry({{1, "[0,0,0]"}})), "invalid length 3, expected an array of length 4"},
      {document_with_hand(hand_entry({{4, "[11,12,13,14,15,16,17,18,19,21,22,23]"}})),
       "invalid length 12, expected an array of size 13"},
      {document_with_hand(hand_entry({{10, "[]"}})), "invalid length 0, expected an array of size 13"},
      {R"([[],["A","B","C","D"],{},null,null,null,null])", "invalid length 7, expected struct RawLog with 8 elements"},
      {R"([])", "invalid length 0, expected struct RawLog with 8 elements"},
  });
}

TEST(json_reader_error_test, fixed_length_arrays_fail_at_an_extra_element) {
  // The extra element is never looked at: a malformed one fails the same way.
  for (const std::string extra : {"1", "tru"}) {
    SCOPED_TRACE(extra);
    expect_json_layer_errors({
        R"({"log":[],"name":["A","B","C","D",)" + extra + R"(],"rule":{}})",
        R"([[],["A","B","C","D"],{},null,null,null,null,null,)" + extra + "]",
        document_with_rule(R"(["",0,0,0,0,)" + extra + "]"),
        document_with_hand(hand_entry({{0, "[0,0,0," + extra + "]"}})),
        document_with_hand(hand_entry({{1, "[0,0,0,0," + extra + "]"}})),
        document_with_hand(hand_entry({{4, "[11,12,13,14,15,16,17,18,19,21,22,23,24," + extra + "]"}})),
        document_with_hand(hand_entry().substr(0, hand_entry().size() - 1) + "," + extra + "]"),
    });
  }
  EXPECT_NE(error_of(R"({"log":[],"name":["A","B","C","D","E"],"rule":{}})").find("trailing characters"),
            std::string::npos);
}

TEST(json_reader_error_test, action_items_outside_every_alternative_are_refused) {
  const std::string message = "data did not match any variant of untagged enum ActionItem";
  for (const std::string entry : {"-1", "256", "11.0", "-0", "1e2", "-9223372036854775809", "99999999999999999999999",
                                  "null", "true", "false", "[]", "[11]", "{}", R"({"a":1})"}) {
    SCOPED_TRACE(entry);
    EXPECT_EQ(error_of(document_with_hand(hand_entry({{5, "[" + entry + "]"}}))), message);
    EXPECT_EQ(error_of(document_with_hand(hand_entry({{15, "[11,\"x\"," + entry + "]"}}))), message);
  }
}

TEST(json_reader_error_test, result_items_that_are_neither_string_nor_array_are_refused) {
  const std::string message = "data did not match any variant of untagged enum ResultItem";
  for (const std::string entry : {"5", "-1.5", "null", "true", "{}", R"({"a":[1]})"}) {
    SCOPED_TRACE(entry);
    EXPECT_EQ(error_of(document_with_hand(hand_entry({{16, R"(["和了",)" + entry + "]"}}))), message);
  }
}

TEST(json_reader_error_test, list_entries_are_read_whole_before_they_are_matched) {
  // A syntax error inside an entry that matches no alternative is reported
  // as such, not as a mismatch; so is a number out of double range.
  expect_json_layer_errors({
      document_with_hand(hand_entry({{5, "[[tru]]"}})),
      document_with_hand(hand_entry({{5, R"([{"a" 1}])"}})),
      document_with_hand(hand_entry({{6, "[[1e400]]"}})),
      document_with_hand(hand_entry({{6, "[1e400]"}})),
      document_with_hand(hand_entry({{6, "[01]"}})),
      document_with_hand(hand_entry({{5, R"(["\ud800"])"}})),
      document_with_hand(hand_entry({{16, R"([{"a":tru}])"}})),
      document_with_hand(hand_entry({{16, "[[1,2,3,nul]]"}})),
      document_with_hand(hand_entry({{16, "[[1,2,3,4,1e999]]"}})),
      document_with_hand(hand_entry({{16, R"([["\x"]])"}})),
  });
}

TEST(json_reader_error_test, containers_nested_128_levels_deep_are_refused) {
  // A result entry is at level 5, so 123 arrays inside it reach level 128.
  const auto result_nested = [](int arrays_inside) {
    return document_with_hand(hand_entry({{16, "[[" + std::string(static_cast<std::size_t>(arrays_inside), '[') +
                                                   std::string(static_cast<std::size_t>(arrays_inside), ']') + "]]"}}));
  };
  EXPECT_EQ(error_of(result_nested(122)), "<accepted>");
  expect_json_layer_errors({result_nested(123), result_nested(10000)});

  // An object as the innermost container counts the same.
  const std::string objects = "[[" + std::string(122, '[') + "{}" + std::string(122, ']') + "]]";
  expect_json_layer_errors({document_with_hand(hand_entry({{16, objects}}))});

  // Take entries are read whole too: too deep is a JSON failure, not a
  // mismatch.  The take list is at level 4, its entries at level 5.
  const std::string take = "[" + std::string(124, '[') + std::string(124, ']') + "]";
  expect_json_layer_errors({document_with_hand(hand_entry({{5, take}}))});
  const std::string shallow_take = "[" + std::string(123, '[') + std::string(123, ']') + "]";
  EXPECT_EQ(error_of(document_with_hand(hand_entry({{5, shallow_take}}))),
            "data did not match any variant of untagged enum ActionItem");
}

TEST(json_reader_error_test, skipped_values_are_checked_for_syntax) {
  expect_json_layer_errors({
      document_with_members(R"(,"title":[tru])"),
      document_with_members(R"(,"title":nul)"),
      document_with_members(R"(,"title":[1 2])"),
      document_with_members(R"(,"title":[1,])"),
      document_with_members(R"(,"title":{"a" 1})"),
      document_with_members(R"(,"title":{"a":1,})"),
      document_with_members(R"(,"title":{1:2})"),
      document_with_members(R"(,"title":"\q")"),
      document_with_members(R"(,"title":"\u12G4")"),
      document_with_members(R"(,"title":{"\q":1})"),
      document_with_members(R"(,"title":01)"),
      document_with_members(R"(,"title":1.)"),
      document_with_members(R"(,"title":-)"),
      document_with_members(R"(,"title":.5)"),
      document_with_members(R"(,"title":1e)"),
      document_with_members(R"(,"title":+1)"),
      document_with_members(R"(,"title":[)" + std::string(5000, '[') + "tru" + std::string(5001, ']')),
      document_with_rule(R"({"x":[1 2]})"),
      document_with_rule(R"({"x":"\a"})"),
  });
}

TEST(json_reader_error_test, malformed_strings_in_read_fields_are_refused) {
  expect_json_layer_errors({
      R"({"log":[],"name":["A","B","C","\ud800"],"rule":{}})",
      R"({"log":[],"name":["A","B","C","\q"],"rule":{}})",
      R"({"log":[],"name":["A","B","C","a)"
      "\x01"
      R"("],"rule":{}})",
      R"({"log":[],"name":["A","B","C",")"
      "\xff"
      R"("],"rule":{}})",
      R"({"\ud800":1,"log":[],"name":["A","B","C","D"],"rule":{}})",
  });
}

TEST(json_reader_error_test, the_document_is_one_value_with_only_whitespace_around_it) {
  const std::string valid = document_with_members("");
  expect_json_layer_errors({
      "",
      " \n\t\r ",
      "\xEF\xBB\xBF" + valid,  // a byte-order mark is not whitespace
      valid + " x",
      valid + valid,
      valid + "}",
      valid + "]",
      valid + ",",
      valid + std::string(1, '\0'),
      "x" + valid,
  });
  expect_messages({
      {"5", "invalid type: integer `5`, expected struct RawLog"},
      {" \"abc\" ", "invalid type: string \"abc\", expected struct RawLog"},
      {"null", "invalid type: null, expected struct RawLog"},
      {"true", "invalid type: boolean `true`, expected struct RawLog"},
      {"-2.5", "invalid type: floating point `-2.5`, expected struct RawLog"},
      // The document is read before what follows it is looked at.
      {"5 x", "invalid type: integer `5`, expected struct RawLog"},
      {R"({"log":5,"name":["A","B","C","D"],"rule":{}} x)", "invalid type: integer `5`, expected a sequence"},
      {R"({"log":5,"name":["A","B","C","D"],"rule":{}}})", "invalid type: integer `5`, expected a sequence"},
  });
}

TEST(json_reader_error_test, every_truncation_of_a_document_is_refused) {
  const std::string text = document_with_hand(
      hand_entry({{5, R"([11,60,"c123456"])"}, {16, R"(["和了",[0,-8000,8000,0],[1,0,1,"x",{"k":[null,true]}]])"}}));
  ASSERT_EQ(error_of(text), "<accepted>");
  for (std::size_t length = 0; length < text.size(); ++length) {
    SCOPED_TRACE(length);
    const std::string message = error_of(text.substr(0, length));
    EXPECT_NE(message, "<accepted>");
  }
}

TEST(json_reader_error_test, failures_are_reported_in_the_order_of_the_text) {
  // The hand list is read an entry at a time after the other members: a
  // failure past the list is reported only when every hand reads.
  const std::string bad_hand = R"([[0,0,0],[25000,25000,25000,25000],[11],[],[]])";
  const std::string bad_hand_message = "invalid length 0, expected an array of size 13";
  expect_messages({
      {R"({"log":[)" + bad_hand + R"(],"name":5,"rule":{}})", bad_hand_message},
      {R"({"log":[],"name":5,"rule":{}})", "invalid type: integer `5`, expected an array of length 4"},
      {R"({"name":5,"log":[)" + bad_hand + R"(],"rule":{}})",
       "invalid type: integer `5`, expected an array of length 4"},
      {R"({"log":[)" + bad_hand + R"(],"rule":{}})", bad_hand_message},
      {R"({"log":[],"rule":{}})", "missing field `name`"},
      {R"({"log":[],"rule":{}} x)", "missing field `name`"},
      {R"({"log":[)" + bad_hand + R"(],"name":["A","B","C","D"],"rule":{}} x)", bad_hand_message},
  });
  // Where the text ends inside a value, the message says in what.
  expect_messages({
      {R"({"log":[],"name":["A","B","C","D"],"rule":{"disp":"x)",
       "malformed JSON: A string is opened, but never closed."},
      {R"({"log":[[[0,0,0])", "malformed JSON: EOF while parsing a list"},
      {R"({"log":[],"name":["A","B","C","D"],"rule":{)", "malformed JSON: EOF while parsing an object"},
  });
}

TEST(json_reader_error_test, values_longer_than_any_game_are_read_in_parts_or_refused) {
  // More than the longest piece read at once.
  const std::size_t long_size = (std::size_t{1} << 20) + 10;
  std::string numbers = "[";
  while (numbers.size() < long_size) numbers += "[1,2.5,\"x\",{\"k\":[null,true]}],";
  numbers += "0]";
  const std::string long_string = "\"" + std::string(long_size, 'a') + "\"";
  const std::string long_number = std::string(long_size, '7');
  // A member no record lists is checked a part at a time, however long.
  for (const std::string& value : {numbers, long_string, long_number, "[" + numbers + "," + long_string + "]",
                                   "{\"a\":" + numbers + ",\"b\":" + long_string + "}"}) {
    EXPECT_EQ(error_of(document_with_members(",\"extra\":" + value)), "<accepted>");
  }
  EXPECT_EQ(error_of(document_with_members("," + long_string + ":1")), "<accepted>");
  std::string bad_numbers = numbers;
  bad_numbers[bad_numbers.size() / 2] = '@';
  std::string bad_string = long_string;
  bad_string[long_size / 2] = '\n';
  expect_json_layer_errors({
      document_with_members(",\"extra\":" + bad_numbers),
      document_with_members(",\"extra\":" + bad_string),
      document_with_members(",\"extra\":[" + numbers + "}"),
      document_with_members(",\"extra\":" + std::string(long_size, 'x')),
  });
  // What a record reads is refused when longer than any game's.
  const std::string hand = R"([[0,0,0],[0,0,0,0],[],[],)" + numbers + "]";
  expect_messages({
      {document_with_hand(hand),
       "a hand entry of " + std::to_string(hand.size()) + " bytes, more than any game's (at most 1 MiB)"},
      {R"({"log":[],"rule":{},"name":)" + numbers + "}",
       "a `name` member of " + std::to_string(numbers.size()) + " bytes, more than any game's (at most 1 MiB)"},
  });
}

TEST(json_reader_error_test, three_player_record_fails_on_its_empty_fourth_hand) {
  // The three-player record leaves the fourth seat's lists empty, and a
  // starting hand must hold 13 tiles.
  const std::filesystem::path path = std::filesystem::path(KIROKU_CORPUS_DIR) / "sanma" / "nnkr-sanma-1.json";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no three-player record at " << path;
  std::ifstream in(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(error_of(text), "invalid length 0, expected an array of size 13");
}

}  // namespace
}  // namespace kiroku
