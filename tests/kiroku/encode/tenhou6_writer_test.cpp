// The document around the hands, for what the official conversions do not
// show: members left out, "aka" alone, connections of some hands only,
// escaped names, numbers JSON cannot hold.
#include "kiroku/encode/tenhou6_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kiroku {
namespace {

Tenhou6Game plain_game() {
  Tenhou6Game game;
  game.game.name = {"A", "B", "C", "D"};
  return game;
}

TEST(tenhou6_writer_test, the_document_writes_what_the_game_holds_in_tenhous_order) {
  struct Case {
    const char* what;
    Tenhou6Game game;
    std::string text;
  };
  std::vector<Case> cases;
  cases.push_back({"no optional member", plain_game(),
                   R"({"ver":2.3,"ref":"","log":[[0],[1]],"rule":{"disp":"","aka53":0,"aka52":0,"aka51":0},)"
                   R"("name":["A","B","C","D"]})"});
  Tenhou6Game marked = plain_game();
  marked.ref = "2019\"x";
  marked.game.name[1] = "q\\\n\x01";
  marked.game.rule = Rule{.disp = "般東", .aka = 1, .aka51 = 0, .aka52 = 0, .aka53 = 0};
  marked.game.lobby = -1;
  marked.game.rate = std::vector<double>{1500, 2074.7, std::numeric_limits<double>::quiet_NaN()};
  marked.game.sc = std::vector<double>{-0.5, 1e21};
  cases.push_back({"escapes, aka alone, numbers", marked,
                   R"({"ver":2.3,"ref":"2019\"x","log":[[0],[1]],"rule":{"disp":"般東","aka":1,"aka53":0,)"
                   R"("aka52":0,"aka51":0},"lobby":-1,"rate":[1500,2074.7,null],"sc":[-0.5,1e+21],)"
                   R"("name":["A","q\\\n\u0001","C","D"]})"});
  Tenhou6Game connected = plain_game();
  connected.game.connection = {{.what = 0, .log = 0, .who = 1, .step = 3},
                               {.what = 1, .log = 1, .who = 1, .step = 9},
                               {.what = 0, .log = 2, .who = 2, .step = 0}};
  cases.push_back({"connections of the two hands written", connected,
                   R"({"ver":2.3,"ref":"","log":[[0],[1]],"connection":[{"what":0,"log":0,"who":1,"step":3},)"
                   R"({"what":1,"log":1,"who":1,"step":9}],"rule":{"disp":"","aka53":0,"aka52":0,"aka51":0},)"
                   R"("name":["A","B","C","D"]})"});
  for (const Case& c : cases) EXPECT_EQ(tenhou6_document(c.game, "[0],[1]", 0, 2), c.text) << c.what;
  // A later hand alone: only its connections, counted from it.
  EXPECT_EQ(tenhou6_document(connected, "[1]", 1, 1),
            R"({"ver":2.3,"ref":"","log":[[1]],"connection":[{"what":1,"log":0,"who":1,"step":9}],)"
            R"("rule":{"disp":"","aka53":0,"aka52":0,"aka51":0},"name":["A","B","C","D"]})");
}

}  // namespace
}  // namespace kiroku
