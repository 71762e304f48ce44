// Linked into every GoogleTest executable: counts the tests that skipped for
// want of the real game records beside the project and says so in one line
// per folder at the end, so that a run without them does not pass as if it
// had checked them.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string_view>

namespace {

class CorpusSkipNote final : public testing::EmptyTestEventListener {
 public:
  void OnTestEnd(const testing::TestInfo& test) override {
    const testing::TestResult& result = *test.result();
    if (!result.Skipped()) return;
    // Every test that needs a corpus folder names it when it skips.
    for (Folder& folder : folders_) {
      for (int i = 0; i < result.total_part_count(); ++i) {
        if (std::string_view(result.GetTestPartResult(i).message()).find(folder.path) != std::string_view::npos) {
          ++folder.skipped;
          return;
        }
      }
    }
  }

  void OnTestProgramEnd(const testing::UnitTest&) override {
    for (const Folder& folder : folders_) {
      if (folder.skipped == 0) continue;
      std::printf("note: %d %s skipped: the game records in %s are absent\n", folder.skipped,
                  folder.skipped == 1 ? "test" : "tests", folder.path);
    }
    std::fflush(stdout);
  }

 private:
  struct Folder {
    const char* path;
    int skipped = 0;
  };
  std::array<Folder, 2> folders_ = {{{KIROKU_XML_CORPUS_DIR}, {KIROKU_CORPUS_DIR}}};
};

// The listener list owns the listener.
const bool registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new CorpusSkipNote);
  return true;
}();

}  // namespace
