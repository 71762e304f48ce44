#include "kiroku/read/xml_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "kiroku/read/log_format.h"
#include "kiroku/tile_id.h"

namespace kiroku {
namespace {

constexpr std::string_view kNames = R"(<UN n0="%E3%81%95%E3%81%8F%E3%82%89" n1="B" n2="%43" n3="D%26E"/>)";
constexpr std::string_view kInit =
    R"(<INIT seed="5,1,2,3,4,135" ten="250,-12,300,250" oya="1" )"
    R"(hai0="0,1,2,3,4,5,6,7,8,9,10,11,12" hai1="13,14,15,16,17,18,19,20,21,22,23,24,25" )"
    R"(hai2="26,27,28,29,30,31,32,33,34,35,36,37,38" hai3="39,40,41,42,43,44,45,46,47,48,49,50,51"/>)";

// The INIT above with one attribute's value replaced.
std::string init_with(std::string_view attribute, std::string_view value) {
  std::string init(kInit);
  const std::size_t start = init.find(" " + std::string(attribute) + "=\"") + attribute.size() + 3;
  init.replace(start, init.find('"', start) - start, value);
  return init;
}

std::string mjlog(std::string_view body, std::string_view go = R"(<GO type="169"/>)") {
  return "<mjloggm ver=\"2.3\">" + std::string(go) + std::string(kNames) + std::string(body) + "</mjloggm>";
}

// The game and every hand of `text`.
struct ReadLog {
  XmlGame game;
  std::vector<XmlHand> hands;
};

std::expected<ReadLog, ReadError> read(const std::string& text) {
  PaddedText padded = PaddedText::copy_of(text);
  auto reader = XmlReader::open(padded);
  if (!reader) return std::unexpected(std::move(reader.error()));
  ReadLog log{.game = reader->game(), .hands = {}};
  for (;;) {
    XmlHand hand;
    auto more = reader->next_hand(hand);
    if (!more) return std::unexpected(std::move(more.error()));
    if (!*more) return log;
    log.hands.push_back(std::move(hand));
  }
}

std::string error_of(const std::string& text) {
  const auto log = read(text);
  return log ? std::string("(read)") : log.error().message;
}

TEST(xml_reader_test, reads_names_hands_steps_and_results) {
  const auto log = read(mjlog(std::string(kInit) +
                              R"(<U52/><E52/><N who="2" m="54431"/><REACH who="1" step="1"/><DORA hai="134"/>)"
                              R"(<AGARI who="3" fromWho="1" sc="250,-80,0,0,300,0,250,80" doraHaiUra="133,132"/>)"
                              R"(<AGARI who="0" fromWho="1" sc="250,10,0,0,300,0,250,0" doraHaiUra="131"/>)"
                              R"(<UN n0="later" n1="x" n2="y" n3="z"/>)"));
  ASSERT_TRUE(log) << log.error().message;
  EXPECT_EQ(log->game.game_type, 169);
  EXPECT_EQ(log->game.names,
            (std::array<std::string, 4>{"さくら", "B", "C", "D&E"}));  // a later <UN> is a reconnection
  ASSERT_EQ(log->hands.size(), 1U);
  const XmlHand& hand = log->hands[0];
  EXPECT_EQ(hand.id, (HandId{.hand_index = 5, .honba = 1, .deposits = 2}));
  EXPECT_EQ(hand.scores, (Scores{25000, -1200, 30000, 25000}));
  EXPECT_EQ(hand.dealer, 1);
  EXPECT_EQ(hand.dora_indicators, (std::vector<TileId>{135, 134}));
  EXPECT_EQ(hand.ura_indicators, (std::vector<TileId>{133, 132}));  // the first win that shows any
  EXPECT_EQ(hand.starting_hands[3][12], 51);
  using Kind = XmlStep::Kind;
  EXPECT_EQ(hand.steps, (std::vector<XmlStep>{{Kind::Draw, 1, 52, 0},
                                              {Kind::Discard, 1, 52, 0},
                                              {Kind::Meld, 2, 0, 0},
                                              {Kind::RiichiDeclared, 1, 0, 0},
                                              {Kind::Win, 0, 0, 0},
                                              {Kind::Win, 0, 0, 1}}));
  ASSERT_EQ(hand.wins.size(), 2U);
  EXPECT_EQ(hand.wins[0].winner, 3);
  EXPECT_EQ(hand.wins[0].from, 1);
  EXPECT_EQ(hand.wins[0].deltas, (Scores{-8000, 0, 0, 8000}));
  EXPECT_EQ(hand.call_codes, (std::vector<std::uint16_t>{54431}));
}

TEST(xml_reader_test, a_game_is_read_no_further_than_its_caller_asks) {
  // A three-player game, refused by its type alone: its hands follow rules
  // of their own and are never read.
  PaddedText text = PaddedText::copy_of(mjlog("<INIT seed=\"nonsense\"/><T999/>", R"(<GO type="185"/>)"));
  auto reader = XmlReader::open(text);
  ASSERT_TRUE(reader) << reader.error().message;
  EXPECT_EQ(reader->game().game_type, 185);
}

TEST(xml_reader_test, draws_and_the_end_of_the_hand) {
  const auto log =
      read(mjlog(std::string(kInit) + R"(<T0/><RYUUKYOKU type="reach4" sc="250,0,0,0,300,0,250,0"/><BYE who="1"/>)"
                                      R"(<TAIKYOKU oya="0"/><SOMETHING new="1"/>)"));
  ASSERT_TRUE(log) << log.error().message;
  EXPECT_EQ(log->hands[0].draw_end.kind, XmlDrawEnd::Kind::FourRiichi);
  EXPECT_EQ(log->hands[0].steps.back().kind, XmlStep::Kind::Abort);
}

TEST(xml_reader_test, every_refusal_names_the_element_and_its_place) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::string init(kInit);
  const Case cases[] = {
      {"<mjloggm><GO type=\"1\"/>", "malformed XML: "},
      {"<mjloggm/><other/>", "malformed XML: Extra content at the end of the document at byte 10"},
      {"<mjlog/>", "<mjlog> at byte 1: not a Tenhou XML log (its root is not <mjloggm>)"},
      {"<mjloggm>" + std::string(kNames) + "</mjloggm>", "<mjloggm> at byte 1: no game type <GO>"},
      {"<mjloggm><GO type=\"169\"/></mjloggm>", "<mjloggm> at byte 1: no players' names <UN>"},
      {mjlog("<T52/>"), "play before the first <INIT>"},
      {"<mjloggm>" + init + "</mjloggm>", "<INIT> at byte 10: a hand starts before the game type <GO>"},
      {mjlog("<INIT/>"), "<INIT> at byte 101: missing attribute seed"},
      {mjlog(init_with("hai2", "1,2")), "<INIT> at byte 101: attribute hai2 holds 2 tiles, expected 13"},
      {mjlog(init_with("hai2", "1,2,3,4,5,6,7,8,9,10,11,12,136")),
       "attribute hai2 holds something that is not a tile id from 0 to 135"},
      {mjlog(init_with("oya", "2")), "attribute oya does not name the dealer of round 5"},
      {mjlog(init_with("seed", "5,1,2,3,4")), "attribute seed is not round, honba, sticks, two dice and a tile id"},
      {mjlog(init_with("ten", "250,250,+250,250")), "attribute ten is not four scores in hundreds"},
      {mjlog(init + "<D136/>"), "<D136> at byte 333: tile id 136 is not from 0 to 135"},
      {mjlog(init + R"(<N who="4" m="1024"/>)"), "attribute who is not a number from 0 to 3"},
      {mjlog(init + R"(<REACH who="1" step="3"/>)"), "attribute step is not a number from 0 to 2"},
      {mjlog(init + R"(<RYUUKYOKU type="draw" sc="0,0,0,0,0,0,0,0"/>)"), "attribute type names no kind of drawn hand"},
      {mjlog(init + R"(<AGARI who="1" fromWho="2" sc="0,0,0,0,0,0,0"/>)"), "attribute sc holds 7 numbers, expected 8"},
      {mjlog(init + R"(<AGARI who="1" fromWho="2" sc="0,0,0,0,0,0,0,x"/>)"),
       "attribute sc holds something that is not a score in hundreds"},
      {mjlog("", R"(<GO type="-1"/>)"), "<GO> at byte 20: attribute type is not a number from 0 to 65535"},
      {R"(<mjloggm><GO type="169"/><UN n0="%E3%81" n1="" n2="" n3=""/></mjloggm>)",
       "attribute n0 is not URL-encoded UTF-8"},
      {R"(<mjloggm><GO type="169"/><UN n0="%4" n1="" n2="" n3=""/></mjloggm>)",
       "attribute n0 is not URL-encoded UTF-8"},
  };
  for (const Case& c : cases) {
    const std::string message = error_of(c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << c.text << "\n  gave: " << message;
  }
}

// Whatever XML refuses, the reader refuses, whichever way it reads the
// text; and it reads the form Tenhou writes as the conforming parser does.
TEST(xml_reader_test, only_well_formed_xml_is_read) {
  const std::string go = R"(<GO type="169"/>)";
  const std::string malformed[] = {
      mjlog(R"(<UN n0="&x;" n1="" n2="" n3=""/>)", go),         // an entity XML does not define
      mjlog(R"(<UN n0="a&b" n1="" n2="" n3=""/>)", go),         // a raw ampersand
      mjlog(R"(<UN n0="a<b" n1="" n2="" n3=""/>)", go),         // a raw '<' inside a value
      mjlog("", R"(<GO type="169" type="1"/>)"),                // a repeated attribute
      mjlog("", R"(<GO type="16&#0;9"/>)"),                     // a reference to U+0000
      mjlog("") + "text",                                       // text after the root
      "<!DOCTYPE mjloggm [<!ENTITY a \"b\">]>" + mjlog("&a;"),  // nothing comes from a DOCTYPE
      "<mjloggm>\xFF</mjloggm>",                                // not UTF-8
      "<mjloggm><GO type=\"1\"/>",                              // no end
  };
  for (const std::string& text : malformed) {
    const std::string message = error_of(text);
    EXPECT_TRUE(message.starts_with("malformed XML: ") || message.starts_with("<!DOCTYPE> at byte "))
        << text << ": " << message;
  }
  // Entities and references XML defines, comments and declarations: read, by the parser.
  const auto log = read("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><!-- c --><?pi x?>" +
                        mjlog("", R"(<GO type="16&#57;" lobby="&#x31;"/>)"));
  ASSERT_TRUE(log) << log.error().message;
  EXPECT_EQ(log->game.game_type, 169);
  EXPECT_EQ(log->game.lobby, 1);
}

// A long or strange element name in a message is cut and quoted.
TEST(xml_reader_test, names_in_messages_are_quoted_and_bounded) {
  const std::string name(200, 'T');
  EXPECT_EQ(error_of(mjlog(std::string(kInit) + "<T1" + name + "/>")).substr(0, 12), "<\"T1TTTTTTTT");
  EXPECT_NE(error_of(mjlog(std::string(kInit) + "<T1" + name + "/>")).find("T\"...> at byte 333"), std::string::npos);
}

TEST(xml_reader_test, the_format_is_told_by_the_first_character) {
  for (const std::string_view xml : {"<mjloggm ver=\"2.3\">", " \r\n\t<mjloggm>", "<?xml version=\"1.0\"?>\n<mjloggm/>",
                                     "<!-- a comment --><mjloggm/>", "<mjloggmx>", "<"}) {
    EXPECT_EQ(detect_log_format(xml), LogFormat::TenhouXml) << xml;
  }
  for (const std::string_view json : {"{\"log\":[]}", " [", "", "\xEF\xBB\xBF<mjloggm/>", "x<"}) {
    EXPECT_EQ(detect_log_format(json), LogFormat::TenhouJson) << json;
  }
  EXPECT_EQ(byte_order_mark_size("\xEF\xBB\xBF<mjloggm/>"), 3U);
  EXPECT_EQ(byte_order_mark_size("\xEF\xBB<"), 0U);
}

}  // namespace
}  // namespace kiroku
