// End to end: both log formats through the one entry the front ends call.
#include "kiroku/pipeline.h"
#include "file_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kiroku {
namespace {

namespace fs = std::filesystem;

std::expected<EncodedEvents, PipelineError> convert(const std::string& text) {
  return convert_text(PaddedText::copy_of(text));
}

TEST(pipeline_test, each_stage_fails_as_itself_in_both_formats) {
  EXPECT_EQ(convert("{").error().stage(), Stage::Read);
  EXPECT_EQ(convert("<mjloggm><GO").error().stage(), Stage::Read);
  EXPECT_EQ(convert(R"({"log":[],"name":["a","b","c",""],"rule":{"disp":"三般南"}})").error().stage(), Stage::Prepare);
  EXPECT_EQ(convert(R"(<mjloggm ver="2.3"><GO type="185"/></mjloggm>)").error().stage(), Stage::Prepare);
  const std::string unfinished = R"(<mjloggm ver="2.3"><GO type="169"/><UN n0="a" n1="b" n2="c" n3="d"/>)"
                                 R"(<INIT seed="0,0,0,1,1,135" ten="250,250,250,250" oya="0" )"
                                 R"(hai0="0,1,2,3,4,5,6,7,8,9,10,11,12" hai1="13,14,15,16,17,18,19,20,21,22,23,24,25" )"
                                 R"(hai2="26,27,28,29,30,31,32,33,34,35,36,37,38" )"
                                 R"(hai3="39,40,41,42,43,44,45,46,47,48,49,50,51"/><T100/><D100/></mjloggm>)";
  const auto refused = convert(unfinished);
  ASSERT_FALSE(refused);
  EXPECT_EQ(describe(refused.error()), "convert: hand 0 (honba 0), seat 0: the hand stops without a result");
}

// Tenhou's own JSON conversions of six of its XML logs: both paths must write
// the same events, byte for byte.
TEST(pipeline_test, tenhou_xml_logs_give_the_events_of_their_official_json_conversion) {
  const fs::path dir = fs::path(KIROKU_XML_CORPUS_DIR) / "official-pairs";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "skipped 6 official pairs: " << dir << " is absent";
  std::size_t pairs = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xml") continue;
    const auto from_xml = convert(file_text(entry.path()));
    const auto from_json = convert(file_text(fs::path(entry.path()).replace_extension(".json")));
    ASSERT_TRUE(from_xml) << entry.path().filename() << ": " << describe(from_xml.error());
    ASSERT_TRUE(from_json) << entry.path().filename() << ": " << describe(from_json.error());
    EXPECT_EQ(from_xml->lines(), from_json->lines()) << entry.path().filename();
    ++pairs;
  }
  EXPECT_EQ(pairs, 6U);
}

TEST(pipeline_test, real_xml_logs_convert_but_the_one_cut_off_mid_hand) {
  const fs::path dir = fs::path(KIROKU_XML_CORPUS_DIR) / "games";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "skipped 17 real XML games: " << dir << " is absent";
  std::size_t games = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".mjlog") continue;
    ++games;
    const auto converted = convert(file_text(entry.path()));
    if (entry.path().stem().string().ends_with("no-round-end")) {
      ASSERT_FALSE(converted) << entry.path().filename();
      EXPECT_EQ(describe(converted.error()), "convert: hand 7 (honba 0), seat 0: the hand stops without a result");
    } else {
      EXPECT_TRUE(converted) << entry.path().filename() << ": " << describe(converted.error());
    }
  }
  EXPECT_EQ(games, 17U);
}

}  // namespace
}  // namespace kiroku
