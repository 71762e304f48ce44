// Writing Tenhou's JSON log beside writing mjai events, on the real XML games
// (corpus/tenhou-xml: the official pairs and the other games, the one cut
// off mid-hand aside): each writer alone on records read and converted
// before timing, and each whole pipeline from the text.  Before timing,
// every game's written JSON log must give, through the JSON path, the events
// its XML log gives.
//
//   build/bench/kiroku_tenhou6_bench      (a build with -DKIROKU_BENCH=ON)

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "kiroku/conv/converter.h"
#include "kiroku/encode/event_encoder.h"
#include "kiroku/encode/tenhou6_writer.h"
#include "kiroku/pipeline.h"
#include "kiroku/prepare/xml_preparation.h"
#include "kiroku/prepare/xml_tenhou6.h"
#include "kiroku/read/xml_reader.h"

namespace {

namespace fs = std::filesystem;
using kiroku::PaddedText;

// One game as each writer takes it: the XML record and its prepared hands
// (Tenhou's JSON log), and the converted events (mjai).
struct Game {
  std::string text;
  kiroku::XmlGame xml_game;
  std::vector<kiroku::XmlHand> hands;
  std::vector<kiroku::PreparedHand> prepared;
  std::vector<kiroku::Event> events;
};

struct Games {
  std::vector<Game> games;
  std::size_t bytes = 0;
  std::string error;  // why the games cannot be timed
};

std::string record_of(const std::string& text, Game& game) {
  const PaddedText padded = PaddedText::copy_of(text);  // read as hands are asked for
  auto reader = kiroku::XmlReader::open(padded);
  if (!reader) return reader.error().message;
  game.xml_game = reader->game();
  auto prepared_game = kiroku::prepare_xml_game(kiroku::XmlGame(reader->game()));
  if (!prepared_game) return "not a four-player game";
  kiroku::conv::Converter converter(*prepared_game);
  game.events.push_back(converter.start_game());
  for (kiroku::XmlHand hand; reader->next_hand(hand).value_or(false);) {
    kiroku::PreparedHand& prepared = game.prepared.emplace_back();
    if (!kiroku::prepare_xml_hand(hand, game.hands.size(), prepared_game->aka_flag, prepared)) return "a bad call";
    if (!converter.convert_hand(prepared, game.events)) return "a hand that does not convert";
    game.hands.push_back(hand);
  }
  game.events.push_back(kiroku::event::EndGame{});
  return {};
}

const Games& real_games() {
  static const Games games = [] {
    Games loaded;
    const fs::path root = KIROKU_XML_CORPUS_DIR;
    std::vector<fs::path> paths = kiroku::bench::files_in(root / "official-pairs", ".xml");
    for (const fs::path& path : kiroku::bench::files_in(root / "games", ".mjlog")) {
      if (!path.stem().string().ends_with("no-round-end")) paths.push_back(path);
    }
    if (paths.empty()) loaded.error = (root / "games").string() + " is absent";
    for (const fs::path& path : paths) {
      Game& game = loaded.games.emplace_back();
      game.text = kiroku::bench::read_file(path);
      loaded.bytes += game.text.size();
      if (std::string why = record_of(game.text, game); !why.empty()) {
        loaded.error = path.filename().string() + ": " + why;
        break;
      }
      // A fast wrong answer is worth nothing.
      const auto written = kiroku::convert_to_tenhou6(PaddedText::copy_of(game.text), "");
      const auto from_written = kiroku::convert_text(PaddedText::copy_of(written.value_or("")));
      if (!from_written || from_written->lines() != kiroku::encode_events(game.events).lines()) {
        loaded.error = path.filename().string() + ": the written JSON log gives other events";
        break;
      }
    }
    return loaded;
  }();
  return games;
}

template <class Step>
void time_games(benchmark::State& state, Step step) {
  const Games& games = real_games();
  if (!games.error.empty()) {
    state.SkipWithError(games.error.c_str());
    return;
  }
  for (auto _ : state) {
    for (const Game& game : games.games) step(game);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(games.bytes));
  state.counters["games/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(games.games.size()), benchmark::Counter::kIsRate);
}

// The writers alone.

void mjai_write(benchmark::State& state) {
  time_games(state, [](const Game& game) {
    kiroku::EncodedEvents encoded;
    encoded.append(game.events);
    benchmark::DoNotOptimize(encoded.lines().data());
  });
}

void tenhou6_write(benchmark::State& state) {
  time_games(state, [](const Game& game) {
    kiroku::Tenhou6Game document = kiroku::tenhou6_game_of(game.xml_game, "");
    kiroku::JsonHand hand;
    std::string text;
    kiroku::append_tenhou6_opening(document, text);
    for (std::size_t i = 0; i < game.hands.size(); ++i) {
      if (!kiroku::tenhou6_hand_of(game.hands[i], game.prepared[i], i, hand, document)) return;
      if (i != 0) text += ',';
      kiroku::append_tenhou6_hand(hand, text);
    }
    kiroku::append_tenhou6_closing(document, 0, game.hands.size(), text);
    benchmark::DoNotOptimize(text.data());
  });
}

// The whole pipelines from the text (Tenhou's JSON log with its check by
// conversion, which mjai events need not).

void mjai_pipeline(benchmark::State& state) {
  time_games(state,
             [](const Game& game) { benchmark::DoNotOptimize(kiroku::convert_text(PaddedText::copy_of(game.text))); });
}

void tenhou6_pipeline(benchmark::State& state) {
  time_games(state, [](const Game& game) {
    benchmark::DoNotOptimize(kiroku::convert_to_tenhou6(PaddedText::copy_of(game.text), ""));
  });
}

BENCHMARK(mjai_write);
BENCHMARK(tenhou6_write);
BENCHMARK(mjai_pipeline);
BENCHMARK(tenhou6_pipeline);

}  // namespace

BENCHMARK_MAIN();
