// Throughput of each stage and of the whole pipeline, on the bundled
// realistic game, on the real corpus (when present beside the project) and on
// generated games.  Every input is converted once and checked before timing.
//
//   make bench      (Release build; see the Makefile)

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "kiroku/conv/converter.h"
#include "kiroku/encode/event_encoder.h"
#include "kiroku/pipeline.h"
#include "kiroku/prepare/json_preparation.h"
#include "kiroku/read/json_reader.h"

#ifdef KIROKU_HAVE_SIM
#include "sim/game_simulator.h"
#include "sim/tenhou_log_writer.h"
#endif

namespace {

namespace fs = std::filesystem;
using kiroku::PaddedText;

using kiroku::bench::files_in;
using kiroku::bench::read_file;

struct Inputs {
  std::vector<PaddedText> texts;
  std::size_t bytes = 0;
  std::string error;  // why these inputs cannot be timed
};

Inputs load(std::vector<std::string> documents) {
  Inputs inputs;
  for (const std::string& document : documents) {
    inputs.texts.push_back(PaddedText::copy_of(document));
    inputs.bytes += document.size();
  }
  if (inputs.texts.empty()) inputs.error = "no inputs";
  for (PaddedText& text : inputs.texts) {
    if (auto encoded = kiroku::convert_text(PaddedText::copy_of(text.view())); !encoded) {
      inputs.error = kiroku::describe(encoded.error());
      break;
    }
  }
  return inputs;
}

const Inputs& realistic_game() {
  static const Inputs inputs = [] {
    const fs::path dir = KIROKU_TEST_DATA_DIR;
    Inputs loaded = load({read_file(dir / "realistic_game.json")});
    // A fast wrong answer is worth nothing: compare with the reviewed output.
    if (loaded.error.empty() && fs::exists(dir / "realistic_game.mjson")) {
      auto encoded = kiroku::convert_text(PaddedText::copy_of(loaded.texts.front().view()));
      if (encoded->lines() != read_file(dir / "realistic_game.mjson")) loaded.error = "output differs";
    }
    return loaded;
  }();
  return inputs;
}

const Inputs& real_corpus() {
  static const Inputs inputs = [] {
    std::vector<std::string> documents;
    for (const fs::path& path : files_in(KIROKU_CORPUS_DIR, ".json")) documents.push_back(read_file(path));
    return load(std::move(documents));
  }();
  return inputs;
}

#ifdef KIROKU_HAVE_SIM
const Inputs& generated_games() {
  static const Inputs inputs = [] {
    std::vector<std::string> documents;
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
      const auto game = kiroku::sim::simulate_game(seed, kiroku::sim::realistic_settings());
      documents.push_back(kiroku::sim::write_tenhou_log(game.log));
    }
    return load(std::move(documents));
  }();
  return inputs;
}
#endif

bool usable(benchmark::State& state, const Inputs& inputs) {
  if (inputs.error.empty()) return true;
  state.SkipWithError(inputs.error.c_str());
  return false;
}

// A game's hands all prepared, as the converter takes them one by one.
struct PreparedLog {
  kiroku::PreparedGame game;
  std::vector<kiroku::PreparedHand> hands;
};

PreparedLog prepared_log(const PaddedText& text) {
  auto read = kiroku::read_json_log(text);
  PreparedLog prepared{.game = *kiroku::prepare_json_game(*read), .hands = {}};
  for (std::size_t position = 0; position < read->log.size(); ++position) {
    if (!kiroku::prepare_json_hand(std::move(read->log[position]), position, prepared.hands.emplace_back())) break;
  }
  return prepared;
}

std::vector<kiroku::Event> events_of(const PreparedLog& log) {
  kiroku::conv::Converter converter(log.game);
  std::vector<kiroku::Event> events{converter.start_game()};
  for (const kiroku::PreparedHand& hand : log.hands) {
    if (!converter.convert_hand(hand, events)) break;
  }
  events.emplace_back(kiroku::event::EndGame{});
  return events;
}

void read_and_prepare(benchmark::State& state, const Inputs& (*inputs_of)()) {
  const Inputs& inputs = inputs_of();
  if (!usable(state, inputs)) return;
  kiroku::PreparedHand hand;
  for (auto _ : state) {
    for (const PaddedText& text : inputs.texts) {
      auto read = kiroku::read_json_log(text);
      auto game = kiroku::prepare_json_game(*read);
      benchmark::DoNotOptimize(game);
      for (std::size_t position = 0; position < read->log.size(); ++position) {
        benchmark::DoNotOptimize(kiroku::prepare_json_hand(std::move(read->log[position]), position, hand));
      }
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(inputs.bytes));
}

void convert(benchmark::State& state, const Inputs& (*inputs_of)()) {
  const Inputs& inputs = inputs_of();
  if (!usable(state, inputs)) return;
  std::vector<PreparedLog> logs;
  for (const PaddedText& text : inputs.texts) logs.push_back(prepared_log(text));
  std::size_t events = 0;
  std::vector<kiroku::Event> converted;
  for (auto _ : state) {
    for (const PreparedLog& log : logs) {
      kiroku::conv::Converter converter(log.game);
      for (const kiroku::PreparedHand& hand : log.hands) {
        benchmark::DoNotOptimize(converter.convert_hand(hand, converted));
        events += converted.size();
        converted.clear();
      }
    }
  }
  state.counters["events/s"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

void encode(benchmark::State& state, const Inputs& (*inputs_of)()) {
  const Inputs& inputs = inputs_of();
  if (!usable(state, inputs)) return;
  std::vector<std::vector<kiroku::Event>> games;
  for (const PaddedText& text : inputs.texts) games.push_back(events_of(prepared_log(text)));
  std::size_t events = 0;
  for (auto _ : state) {
    for (const auto& game : games) {
      const kiroku::EncodedEvents encoded = kiroku::encode_events(game);
      events += encoded.size();
      benchmark::DoNotOptimize(encoded);
    }
  }
  state.counters["events/s"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

// The text is copied into the call's own buffer first, as the front ends
// fill the buffer they hand over; the copy is timed too.
void whole_pipeline(benchmark::State& state, const Inputs& (*inputs_of)()) {
  const Inputs& inputs = inputs_of();
  if (!usable(state, inputs)) return;
  std::size_t events = 0;
  for (auto _ : state) {
    for (const PaddedText& text : inputs.texts) {
      auto encoded = kiroku::convert_text(PaddedText::copy_of(text.view()));
      events += encoded->size();
      benchmark::DoNotOptimize(encoded);
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(inputs.bytes));
  state.counters["events/s"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(read_and_prepare, realistic_game, realistic_game);
BENCHMARK_CAPTURE(read_and_prepare, real_corpus, real_corpus);
BENCHMARK_CAPTURE(convert, realistic_game, realistic_game);
BENCHMARK_CAPTURE(convert, real_corpus, real_corpus);
BENCHMARK_CAPTURE(encode, realistic_game, realistic_game);
BENCHMARK_CAPTURE(encode, real_corpus, real_corpus);
BENCHMARK_CAPTURE(whole_pipeline, realistic_game, realistic_game);
BENCHMARK_CAPTURE(whole_pipeline, real_corpus, real_corpus);
#ifdef KIROKU_HAVE_SIM
BENCHMARK_CAPTURE(read_and_prepare, generated_games, generated_games);
BENCHMARK_CAPTURE(convert, generated_games, generated_games);
BENCHMARK_CAPTURE(whole_pipeline, generated_games, generated_games);
#endif

}  // namespace

BENCHMARK_MAIN();
