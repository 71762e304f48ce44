// End to end: Tenhou's JSON log written from either log format, held to
// Tenhou's own conversions and to the events of the log it was written from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "kiroku/pipeline.h"

namespace kiroku {
namespace {

namespace fs = std::filesystem;

std::string file_text(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::expected<std::string, PipelineError> tenhou6(const std::string& text, std::string_view ref = "") {
  return convert_to_tenhou6(PaddedText::copy_of(text), ref);
}

// Tenhou's own conversions of six of its XML logs, byte for byte.
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
    ++pairs;
  }
  EXPECT_EQ(pairs, 6U);
}

}  // namespace
}  // namespace kiroku
