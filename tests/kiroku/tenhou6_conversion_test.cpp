// End to end: Tenhou's JSON log written from either log format, held to
// Tenhou's own conversions and to the events of the log it was written from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file_text.h"
#include "kiroku/pipeline.h"
#include "kiroku/read/json_reader.h"

namespace kiroku {
namespace {

namespace fs = std::filesystem;

std::expected<std::string, PipelineError> tenhou6(const std::string& text, std::string_view ref = "") {
  return convert_to_tenhou6(PaddedText::copy_of(text), ref);
}

// Tenhou's own conversions of six of its XML logs, byte for byte, from the
// XML log and from the conversion itself.
TEST(tenhou6_conversion_test, xml_logs_give_tenhous_own_json_conversion) {
  const fs::path dir = fs::path(KIROKU_XML_CORPUS_DIR) / "official-pairs";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "skipped 6 official pairs: " << dir << " is absent";
  std::size_t pairs = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xml") continue;
    const std::string ref = entry.path().stem().string();
    const auto written = tenhou6(file_text(entry.path()), ref);
    ASSERT_TRUE(written) << ref << ": " << describe(written.error());
    const std::string official = file_text(fs::path(entry.path()).replace_extension(".json"));
    EXPECT_EQ(*written, official) << ref;
    EXPECT_EQ(tenhou6(official, ref), official) << ref;
    ++pairs;
  }
  EXPECT_EQ(pairs, 6U);
}

std::string percent_decoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      decoded += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

// Each link holds the whole document with that hand alone, and of the
// connections only that hand's.
TEST(tenhou6_conversion_test, viewer_links_open_one_hand_each) {
  const fs::path path = fs::path(KIROKU_XML_CORPUS_DIR) / "official-pairs" / "2019081518gm-00a9-0000-cce9d00c.xml";
  if (!fs::is_regular_file(path)) GTEST_SKIP() << "skipped a link test: " << path << " is absent";
  const std::string xml = file_text(path);
  const auto whole = read_json_log(PaddedText::copy_of(*tenhou6(xml, "id")));
  const auto links = tenhou6_viewer_links(PaddedText::copy_of(xml), "id");
  ASSERT_TRUE(whole && links);
  ASSERT_EQ(links->size(), whole->log.size());
  constexpr std::string_view kPrefix = "https://tenhou.net/6/#json=";
  for (std::size_t i = 0; i < links->size(); ++i) {
    const std::string& link = (*links)[i];
    ASSERT_TRUE(link.starts_with(kPrefix)) << link;
    EXPECT_EQ(link.find_first_of("\"{}[]# ", kPrefix.size()), std::string::npos) << link;
    auto alone = read_json_log(PaddedText::copy_of(percent_decoded(std::string_view(link).substr(kPrefix.size()))));
    ASSERT_TRUE(alone) << alone.error().message;
    ASSERT_EQ(alone->log.size(), 1U);
    EXPECT_EQ(alone->log[0], whole->log[i]);
    EXPECT_EQ(alone->connection.empty(), i != 0) << "hand " << i;
    alone->log = whole->log;
    alone->connection = whole->connection;
    EXPECT_EQ(*alone, *whole) << "hand " << i;
  }
}

// The written log, read back through the JSON path, must give the events the
// log it was written from gives; written again, it must not change.
void expect_same_events(const std::string& log, const std::string& name) {
  const auto written = tenhou6(log);
  const auto from_log = convert_text(PaddedText::copy_of(log));
  ASSERT_EQ(written.has_value(), from_log.has_value()) << name;
  if (!written) {
    EXPECT_EQ(describe(written.error()), describe(from_log.error())) << name;
    return;
  }
  const auto from_written = convert_text(PaddedText::copy_of(*written));
  ASSERT_TRUE(from_written) << name << ": " << describe(from_written.error());
  EXPECT_EQ(from_written->lines(), from_log->lines()) << name;
  EXPECT_EQ(tenhou6(*written), *written) << name;
}

TEST(tenhou6_conversion_test, written_logs_give_the_events_of_the_real_logs_they_come_from) {
  const fs::path xml_dir = fs::path(KIROKU_XML_CORPUS_DIR) / "games";
  const fs::path json_dir = fs::path(KIROKU_CORPUS_DIR);
  if (!fs::is_directory(xml_dir)) GTEST_SKIP() << "skipped 17 real XML games: " << xml_dir << " is absent";
  if (!fs::is_directory(json_dir)) GTEST_SKIP() << "skipped the real JSON games: " << json_dir << " is absent";
  std::size_t logs = 0;
  for (const fs::path& dir : {xml_dir, json_dir}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() != ".mjlog" && entry.path().extension() != ".json") continue;
      expect_same_events(file_text(entry.path()), entry.path().filename().string());
      ++logs;
    }
  }
  EXPECT_GE(logs, 17U + 34U);
}

TEST(tenhou6_conversion_test, a_log_that_does_not_convert_is_not_written) {
  const std::vector<std::string> refused = {
      "{",
      "<mjloggm><GO",
      R"({"log":[],"name":["a","b","c",""],"rule":{"disp":"三般南"}})",
      R"(<mjloggm ver="2.3"><GO type="185"/></mjloggm>)",
  };
  for (const std::string& text : refused) expect_same_events(text, text);
}

}  // namespace
}  // namespace kiroku
