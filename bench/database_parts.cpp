// The parts of converting a log database, each alone, for database_bench.py
// to set the whole tool's run against: every row read out of the database
// and decompressed, then the decompressed texts converted from memory (the
// events made and dropped).  Prints one JSON line:
//   {"rows":20000,"read_decompress_s":1.23,"convert_s":4.56}
//
// Usage: database_parts DATABASE
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/archive_database.h"
#include "kiroku/io/file_reader.h"
#include "kiroku/pipeline.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxText = std::size_t{1} << 30;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: database_parts DATABASE\n");
    return 2;
  }
  auto database = kiroku::cli::ArchiveDatabase::open(argv[1]);
  if (!database) {
    std::fprintf(stderr, "database_parts: %s\n", database.error().c_str());
    return 1;
  }

  // A database of repeated games: each distinct text is kept once, and the
  // rows as the order of their texts, so that the conversion below holds a
  // few texts only yet meets them in the rows' order, as the tool does
  // (the same text over and over would find the caches warmer).
  std::map<std::string, std::size_t, std::less<>> text_numbers;
  std::vector<const std::string*> texts;
  std::vector<std::size_t> row_texts;
  const auto reading = Clock::now();
  for (;;) {
    auto row = database->next_row();
    if (!row) {
      std::fprintf(stderr, "database_parts: %s\n", row.error().c_str());
      return 1;
    }
    if (!*row) break;
    if ((*row)->skip != kiroku::cli::SkipReason::None) continue;
    auto text = kiroku::log_text_from_bytes((*row)->log, kMaxText);
    if (!text) {
      std::fprintf(stderr, "database_parts: row %s does not decompress\n", (*row)->id.c_str());
      return 1;
    }
    auto known = text_numbers.find(text->view());
    if (known == text_numbers.end()) {
      known = text_numbers.emplace(std::string(text->view()), texts.size()).first;
      texts.push_back(&known->first);
    }
    row_texts.push_back(known->second);
  }
  const double read_decompress = seconds_since(reading);

  const auto converting = Clock::now();
  for (const std::size_t number : row_texts) {
    kiroku::Conversion conversion(kiroku::PaddedText::copy_of(*texts[number]));
    for (;;) {
      auto piece = conversion.next();
      if (!piece) {
        std::fprintf(stderr, "database_parts: %s\n", kiroku::describe(piece.error()).c_str());
        return 1;
      }
      if (!*piece) break;
    }
  }
  const double convert = seconds_since(converting);
  std::printf("{\"rows\":%zu,\"read_decompress_s\":%.4f,\"convert_s\":%.4f}\n", row_texts.size(), read_decompress,
              convert);
  return 0;
}
