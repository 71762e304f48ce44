// gen_logs OUTDIR COUNT [FIRST_SEED] [--realistic] [--pretty] [--xml]
//
// Writes COUNT simulated games as OUTDIR/game-<seed>.json, seeds FIRST_SEED
// (default 1) upwards.  By default the games are the property test's rigged
// ones on one line; --realistic plays without rigging, --pretty writes one
// line per list of a hand, --xml writes Tenhou's XML log (game-<seed>.mjlog)
// instead.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/game_simulator.h"
#include "sim/tenhou_log_writer.h"
#include "sim/tenhou_xml_writer.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: gen_logs OUTDIR COUNT [FIRST_SEED] [--realistic] [--pretty] [--xml]\n");
  return 2;
}

bool parse_number(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const std::string copy(text);
  value = std::strtoull(copy.c_str(), &end, 10);
  return *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> positional;
  bool realistic = false;
  bool pretty = false;
  bool xml = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--realistic") {
      realistic = true;
    } else if (arg == "--pretty") {
      pretty = true;
    } else if (arg == "--xml") {
      xml = true;
    } else if (arg.starts_with("--")) {
      return usage();
    } else {
      positional.push_back(arg);
    }
  }
  std::uint64_t count = 0;
  std::uint64_t first = 1;
  if (positional.size() < 2 || positional.size() > 3 || !parse_number(positional[1], count) ||
      (positional.size() == 3 && !parse_number(positional[2], first))) {
    return usage();
  }

  const std::filesystem::path dir(positional[0]);
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "gen_logs: cannot create %s: %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }
  const auto layout = pretty ? kiroku::sim::LogLayout::Pretty : kiroku::sim::LogLayout::Compact;
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const auto settings = realistic ? kiroku::sim::realistic_settings() : kiroku::sim::property_settings(seed);
    const auto game = kiroku::sim::simulate_game(seed, settings);
    const auto path = dir / ("game-" + std::to_string(seed) + (xml ? ".mjlog" : ".json"));
    std::ofstream out(path, std::ios::binary);
    out << (xml ? kiroku::sim::write_tenhou_xml(game.log, game.events)
                : kiroku::sim::write_tenhou_log(game.log, layout));
    if (!out) {
      std::fprintf(stderr, "gen_logs: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
