#include "kiroku/read/json_reader.h"

#include <gtest/gtest.h>

#include "json_documents.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "file_text.h"
#include "kiroku/tile_code.h"

namespace kiroku {
namespace {

std::expected<JsonLog, ReadError> read(std::string_view text) { return read_json_log(PaddedText::copy_of(text)); }

// A whole document around one hand entry.
std::string document_with_hand(const std::string& hand) {
  return R"({"log":[)" + hand + R"(],"name":["A","B","C","D"],"rule":{"disp":"般南喰赤","aka":1}})";
}

// A document whose members after `log`, `name` and `rule` are `extra`
// (a comma-led list of members, or empty).
std::string document_with_members(std::string_view extra) {
  return R"({"log":[],"name":["A","B","C","D"],"rule":{})" + std::string(extra) + "}";
}

Tile tile(std::uint8_t code) { return *tile_from_code(code); }

constexpr std::int32_t kI32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kI32Max = std::numeric_limits<std::int32_t>::max();

JsonLog read_ok(std::string_view text) {
  auto log = read(text);
  EXPECT_TRUE(log.has_value()) << (log ? "" : log.error().message) << "\n  in: " << text.substr(0, 300);
  return log ? std::move(*log) : JsonLog{};
}

const JsonHand& only_hand(const JsonLog& log) {
  static const JsonHand empty{};
  EXPECT_EQ(log.log.size(), 1u);
  return log.log.empty() ? empty : log.log.front();
}

// The one result entry of a hand whose result list is `[entry]`.
ResultItem result_entry(const std::string& entry) {
  const JsonLog log = read_ok(document_with_hand(hand_entry({{16, "[" + entry + "]"}})));
  const auto& result = only_hand(log).result;
  EXPECT_EQ(result.size(), 1u);
  return result.empty() ? ResultItem{} : result.front();
}

std::vector<JsonValue> values_of(const ResultItem& item) {
  EXPECT_TRUE(std::holds_alternative<std::vector<JsonValue>>(item));
  const auto* values = std::get_if<std::vector<JsonValue>>(&item);
  return values != nullptr ? *values : std::vector<JsonValue>{};
}

JsonValue number(std::uint64_t v) { return JsonValue{v}; }
JsonValue negative(std::int64_t v) { return JsonValue{v}; }
JsonValue floating(double v) { return JsonValue{v}; }

TEST(json_reader_test, reads_every_position_of_a_hand_entry) {
  const std::string text = document_with_hand(hand_entry({
      {0, "[7,2,1]"},
      {1, "[-2147483648,2147483647,0,-1200]"},
      {2, "[0,53]"},
      {3, "[47]"},
      {4, "[11,12,13,14,15,16,17,18,19,51,52,53,0]"},
      {5, R"([11,60,"c123456"])"},
      {6, R"([60,"r21",41])"},
      {13, "[41,42,43,44,45,46,47,31,32,33,34,35,36]"},
      {15, R"(["5151a51"])"},
      {16, R"(["和了",[0,-8000,8000,0],[1,0,1,"満貫8000点"]])"},
  }));
  const JsonLog log = read_ok(text);
  const JsonHand& hand = only_hand(log);

  EXPECT_EQ(hand.id, (HandId{7, 2, 1}));
  EXPECT_EQ(hand.scores, (Scores{kI32Min, kI32Max, 0, -1200}));
  EXPECT_EQ(hand.dora_indicators, (std::vector<Tile>{Tile{}, tile(53)}));
  EXPECT_EQ(hand.ura_indicators, (std::vector<Tile>{tile(47)}));
  EXPECT_EQ(hand.seats[0].hand, (StartingHand{tile(11), tile(12), tile(13), tile(14), tile(15), tile(16), tile(17),
                                              tile(18), tile(19), tile(51), tile(52), tile(53), Tile{}}));
  EXPECT_EQ(hand.seats[0].takes, (std::vector<ActionItem>{tile(11), std::uint8_t{60}, NotationText("c123456")}));
  EXPECT_EQ(hand.seats[0].discards, (std::vector<ActionItem>{std::uint8_t{60}, NotationText("r21"), tile(41)}));
  EXPECT_EQ(hand.seats[3].hand[0], tile(41));
  EXPECT_EQ(hand.seats[3].hand[12], tile(36));
  EXPECT_EQ(hand.seats[3].discards, (std::vector<ActionItem>{NotationText("5151a51")}));
  for (std::size_t seat = 1; seat < 3; ++seat) {
    EXPECT_TRUE(hand.seats[seat].takes.empty());
    EXPECT_TRUE(hand.seats[seat].discards.empty());
  }
  ASSERT_EQ(hand.result.size(), 3u);
  EXPECT_EQ(hand.result[0], ResultItem{std::string("和了")});
  EXPECT_EQ(hand.result[1], ResultItem{(Scores{0, -8000, 8000, 0})});
  EXPECT_EQ(
      hand.result[2],
      ResultItem{(std::vector<JsonValue>{number(1), number(0), number(1), JsonValue{std::string("満貫8000点")}})});

  EXPECT_EQ(log.name, (std::array<std::string, 4>{"A", "B", "C", "D"}));
  EXPECT_EQ(log.rule, (Rule{"般南喰赤", 1, 0, 0, 0}));
}

TEST(json_reader_test, member_order_and_unlisted_members_do_not_change_the_record) {
  const std::string hand = hand_entry();
  const JsonLog expected = read_ok(document_with_hand(hand));
  // Unlisted members of every kind, repeated, before, between and after
  // the listed ones; their values are only checked for syntax, so numbers
  // out of double range and escaped lone surrogates pass.
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  const std::vector<std::string> variants = {
      R"({"rule":{"aka":1,"disp":"般南喰赤"},"name":["A","B","C","D"],"log":[)" + hand + "]}",
      R"({"ver":2.3,"log":[)" + hand +
          R"(],"owari":[1,2.5,-3e2],"name":["A","B","C","D"],"ver":null,"title":["a",{"b":[true,false]}],)"
          R"("rule":{"x":{},"disp":"般南喰赤","aka":1,"x":1e400,"aka5":"\ud800"},"deep":)" +
          deep + "}",
      R"({"Log":5,"log":[)" + hand +
          R"(],"LOG":[],"name":["A","B","C","D"],"rule":{"Aka":[],"disp":"般南喰赤","aka":1}})",
  };
  for (const std::string& text : variants) {
    SCOPED_TRACE(text.substr(0, 200));
    EXPECT_EQ(read_ok(text), expected);
  }
}

// What only a written log needs, kept as the document gives it.
TEST(json_reader_test, final_scores_connections_and_id_are_kept_to_be_written_back) {
  const JsonLog log = read_ok(document_with_members(
      R"(,"sc":[25000,12.5,-100,-30],"connection":[{"what":1,"log":3,"who":2,"step":17,"x":[]},{}],"ref":"a\"b")"));
  EXPECT_EQ(log.sc, (std::vector<double>{25000, 12.5, -100, -30}));
  EXPECT_EQ(log.ref, "a\"b");
  EXPECT_EQ(log.connection, (std::vector<JsonConnection>{{.what = 1, .log = 3, .who = 2, .step = 17}, {}}));
  EXPECT_FALSE(read_ok(document_with_members(R"(,"sc":null)")).sc);
}

TEST(json_reader_test, skipped_values_have_no_nesting_limit) {
  const std::string arrays = std::string(100000, '[') + std::string(100000, ']');
  std::string objects;
  for (int i = 0; i < 50000; ++i) objects += R"({"k":)";
  objects += "0" + std::string(50000, '}');
  const JsonLog log = read_ok(document_with_members(",\"a\":" + arrays + ",\"b\":" + objects));
  EXPECT_TRUE(log.log.empty());
}

TEST(json_reader_test, keys_are_compared_after_unescaping) {
  const JsonLog log =
      read_ok(R"({"\u006cog":[],"n\u0061me":["A","B","C","D"],"rule":{"\u0061ka":2,"disp":"\u0041\n"}})");
  EXPECT_EQ(log.rule.aka, 2);
  EXPECT_EQ(log.rule.disp, "A\n");
}

TEST(json_reader_test, optional_fields_absent_or_null_read_as_absent) {
  for (const std::string extra : {"", R"(,"ratingc":null,"lobby":null,"dan":null,"rate":null,"sx":null)"}) {
    SCOPED_TRACE(extra);
    const JsonLog log = read_ok(document_with_members(extra));
    EXPECT_FALSE(log.ratingc.has_value());
    EXPECT_FALSE(log.lobby.has_value());
    EXPECT_FALSE(log.dan.has_value());
    EXPECT_FALSE(log.rate.has_value());
    EXPECT_FALSE(log.sx.has_value());
  }
}

TEST(json_reader_test, optional_fields_present_are_read) {
  const JsonLog log = read_ok(document_with_members(
      R"(,"ratingc":"PF4","lobby":-2147483648,"dan":["七段",""],"rate":[1500,1612.5,-0,1e2],"sx":[])"));
  EXPECT_EQ(log.ratingc, std::optional<std::string>("PF4"));
  EXPECT_EQ(log.lobby, std::optional<std::int32_t>(std::numeric_limits<std::int32_t>::min()));
  EXPECT_EQ(log.dan, (std::optional<std::vector<std::string>>({"七段", ""})));
  ASSERT_TRUE(log.rate.has_value());
  ASSERT_EQ(log.rate->size(), 4u);
  EXPECT_EQ((*log.rate)[0], 1500.0);
  EXPECT_EQ((*log.rate)[1], 1612.5);
  EXPECT_TRUE((*log.rate)[2] == 0.0 && std::signbit((*log.rate)[2]));
  EXPECT_EQ((*log.rate)[3], 100.0);
  EXPECT_EQ(log.sx, (std::optional<std::vector<std::string>>(std::vector<std::string>{})));
}

TEST(json_reader_test, rule_fields_default_when_left_out) {
  struct Case {
    std::string rule;
    Rule expected;
  };
  const std::vector<Case> cases = {
      {"{}", Rule{}},
      {"[]", Rule{}},
      {R"({"aka53":3})", Rule{"", 0, 0, 0, 3}},
      {R"(["d"])", Rule{"d", 0, 0, 0, 0}},
      {R"(["d",1,2])", Rule{"d", 1, 2, 0, 0}},
      {R"(["d",1,2,3,255])", Rule{"d", 1, 2, 3, 255}},
      {R"({"aka52":4,"aka51":3,"aka":2,"disp":"d","aka53":5})", Rule{"d", 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    const JsonLog log = read_ok(R"({"log":[],"name":["A","B","C","D"],"rule":)" + c.rule + "}");
    EXPECT_EQ(log.rule, c.expected);
  }
}

TEST(json_reader_test, array_form_reads_like_object_form) {
  const std::string hand = hand_entry();
  const JsonLog from_object =
      read_ok(R"({"log":[)" + hand + R"(],"name":["A","B","C","D"],"rule":{"disp":"x","aka":1},"lobby":3,"sx":["s"]})");
  const JsonLog from_array = read_ok(R"([[)" + hand + R"(],["A","B","C","D"],["x",1],null,3,null,null,["s"]])");
  EXPECT_EQ(from_array, from_object);
}

TEST(json_reader_test, whitespace_around_the_document_is_accepted) {
  const JsonLog log = read_ok(" \t\r\n" + document_with_members("") + "\n\t \r\n");
  EXPECT_EQ(log.name[3], "D");
}

TEST(json_reader_test, empty_lists_are_accepted) {
  const JsonLog no_hands = read_ok(document_with_members(""));
  EXPECT_TRUE(no_hands.log.empty());

  std::map<int, std::string> empties;
  for (int position : {2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 16}) empties[position] = "[]";
  const JsonLog log = read_ok(document_with_hand(hand_entry(empties)));
  const JsonHand& hand = only_hand(log);
  EXPECT_TRUE(hand.dora_indicators.empty());
  EXPECT_TRUE(hand.ura_indicators.empty());
  EXPECT_TRUE(hand.result.empty());
  for (const JsonSeat& seat : hand.seats) {
    EXPECT_TRUE(seat.takes.empty());
    EXPECT_TRUE(seat.discards.empty());
  }
}

TEST(json_reader_test, action_items_take_the_first_alternative_that_fits) {
  const JsonLog log =
      read_ok(document_with_hand(hand_entry({{5, R"([11,0,53,47,10,48,54,60,255,"c123456","\"\\\u0041",""])"}})));
  const std::vector<ActionItem> expected = {
      tile(11),
      Tile{},
      tile(53),
      tile(47),
      // Integers that are no tile code hold the number itself.
      std::uint8_t{10},
      std::uint8_t{48},
      std::uint8_t{54},
      std::uint8_t{60},
      std::uint8_t{255},
      NotationText("c123456"),
      NotationText("\"\\A"),
      NotationText(),
  };
  EXPECT_EQ(only_hand(log).seats[0].takes, expected);
}

TEST(json_reader_test, result_entry_of_four_small_integers_is_deltas) {
  EXPECT_EQ(result_entry("[0,-8000,8000,0]"), ResultItem{(Scores{0, -8000, 8000, 0})});
  EXPECT_EQ(result_entry("[-2147483648,2147483647,0,0]"), ResultItem{(Scores{kI32Min, kI32Max, 0, 0})});
  EXPECT_EQ(result_entry(R"("流局")"), ResultItem{std::string("流局")});
}

TEST(json_reader_test, other_result_arrays_are_generic_values) {
  struct Case {
    std::string entry;
    std::vector<JsonValue> expected;
  };
  const std::vector<Case> cases = {
      {"[]", {}},
      {"[1,2,3]", {number(1), number(2), number(3)}},
      {"[1,2,3,0.5]", {number(1), number(2), number(3), floating(0.5)}},
      {R"([1,2,3,"x"])", {number(1), number(2), number(3), JsonValue{std::string("x")}}},
      {"[1,2,3,4,5]", {number(1), number(2), number(3), number(4), number(5)}},
      {"[-1,2,3,2147483648]", {negative(-1), number(2), number(3), number(2147483648u)}},
      {"[0,0,0,-2147483649]", {number(0), number(0), number(0), negative(-2147483649)}},
      {"[0,0,1e2,0]", {number(0), number(0), floating(100.0), number(0)}},
      {"[null,true,false]", {JsonValue{JsonNull{}}, JsonValue{true}, JsonValue{false}}},
      {"[18446744073709551615,-9223372036854775808]",
       {number(std::numeric_limits<std::uint64_t>::max()), negative(std::numeric_limits<std::int64_t>::min())}},
      // Integers too large for 64 bits are floating point.
      {"[18446744073709551616,-9223372036854775809]",
       {floating(18446744073709551616.0), floating(-9223372036854775809.0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(values_of(result_entry(c.entry)), c.expected);
  }
}

TEST(json_reader_test, negative_zero_is_floating_point_in_generic_values) {
  const std::vector<JsonValue> values = values_of(result_entry("[0,0,0,-0]"));
  ASSERT_EQ(values.size(), 4u);
  const double* last = std::get_if<double>(&values[3].value);
  ASSERT_NE(last, nullptr);
  EXPECT_TRUE(*last == 0.0 && std::signbit(*last));
}

TEST(json_reader_test, generic_values_keep_nesting_and_member_order) {
  const std::vector<JsonValue> values = values_of(result_entry(R"([{"b":[1,{"c":null}],"a":"x","b":-2},[[]]])"));
  const JsonValue expected_object{JsonValue::Object{
      JsonMember{"b", JsonValue{JsonValue::Array{
                          number(1), JsonValue{JsonValue::Object{JsonMember{"c", JsonValue{JsonNull{}}}}}}}},
      JsonMember{"a", JsonValue{std::string("x")}},
      JsonMember{"b", negative(-2)},
  }};
  const JsonValue expected_array{JsonValue::Array{JsonValue{JsonValue::Array{}}}};
  EXPECT_EQ(values, (std::vector<JsonValue>{expected_object, expected_array}));
}

TEST(json_reader_test, generic_values_nest_up_to_127_levels) {
  // The result entry sits at level 5 (document, hand list, hand entry,
  // result list, entry); 122 more arrays reach level 127.
  const std::string entry = "[" + std::string(122, '[') + std::string(122, ']') + "]";
  EXPECT_TRUE(read(document_with_hand(hand_entry({{16, "[" + entry + "]"}}))).has_value());
}

// Documents that differ in size and shape, read in turn on one thread and
// on several at once, must not see each other's data.
TEST(json_reader_test, repeated_and_concurrent_reads_are_independent) {
  std::vector<std::string> texts;
  for (int hands = 0; hands < 4; ++hands) {
    std::string log;
    for (int i = 0; i < hands * 5; ++i) {
      const std::string id = "[" + std::to_string(i % 8) + ",0,0]";
      const std::string takes = R"(["c","x)" + std::to_string(i) + "\"]";
      log += (i == 0 ? "" : ",") + hand_entry({{0, id}, {5, takes}});
    }
    texts.push_back(R"({"log":[)" + log + R"(],"name":["p)" + std::to_string(hands) + R"(","B","C","D"],"rule":{}})");
  }
  std::vector<JsonLog> expected;
  for (const std::string& text : texts) expected.push_back(read_ok(text));
  for (int round = 0; round < 3; ++round) {
    for (std::size_t i = texts.size(); i-- > 0;) EXPECT_EQ(read_ok(texts[i]), expected[i]);
  }

  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        const std::size_t i = static_cast<std::size_t>(t + round) % texts.size();
        auto log = read(texts[i]);
        if (!log || *log != expected[i]) ++mismatches[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

std::vector<std::filesystem::path> corpus_files(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(json_reader_test, every_real_four_player_log_reads) {
  const std::filesystem::path dir = KIROKU_CORPUS_DIR;
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  const auto files = corpus_files(dir);
  ASSERT_FALSE(files.empty());
  for (const auto& path : files) {
    SCOPED_TRACE(path.filename().string());
    auto log = read(file_text(path));
    ASSERT_TRUE(log.has_value()) << log.error().message;
    EXPECT_FALSE(log->log.empty());
    for (const JsonHand& hand : log->log) {
      EXPECT_FALSE(hand.result.empty());
      EXPECT_LT(hand.id.hand_index, 16);
    }
  }
}

}  // namespace
}  // namespace kiroku
