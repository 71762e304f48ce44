// Throughput of the log reader alone, on the bundled realistic game, on the
// real corpus (when present beside the project) and on generated games,
// beside a plain typed simdjson On-Demand walk over the same documents: the
// walk reads every number and string of a log into a throwaway sink and
// checks nothing, so it is about what reading can cost with no rules kept
// and no records built.  Every document is read once and checked first.
//
//   build-bench/bench/kiroku_read_bench
//
// Each benchmark also reports `best_MB/s`: its fastest pass over all the
// documents of the set in the thread's own CPU time, which is steadier than
// the mean on a shared machine.

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <ctime>  // clock_gettime
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_files.h"
#include "kiroku/read/json_reader.h"

#ifdef KIROKU_HAVE_SIM
#include "sim/game_simulator.h"
#include "sim/tenhou_log_writer.h"
#endif

namespace {

namespace fs = std::filesystem;
namespace od = simdjson::ondemand;
using kiroku::JsonLog;
using kiroku::PaddedText;

using kiroku::bench::files_in;
using kiroku::bench::read_file;

struct Inputs {
  std::vector<PaddedText> texts;
  std::size_t bytes = 0;
  std::string error;  // why these inputs cannot be timed
};

// `expected`, when given, holds the record each document must read to.
Inputs load(const std::vector<std::string>& documents, const std::vector<JsonLog>& expected = {}) {
  Inputs inputs;
  for (const std::string& document : documents) {
    inputs.texts.push_back(PaddedText::copy_of(document));
    inputs.bytes += document.size();
  }
  if (inputs.texts.empty()) inputs.error = "no inputs";
  for (std::size_t i = 0; i < inputs.texts.size() && inputs.error.empty(); ++i) {
    auto log = kiroku::read_json_log(inputs.texts[i]);
    if (!log) {
      inputs.error = log.error().message;
    } else if (i < expected.size() && *log != expected[i]) {
      inputs.error = "document " + std::to_string(i) + " reads to another record than the one written";
    }
  }
  return inputs;
}

const Inputs& realistic_game() {
  static const Inputs inputs = load({read_file(fs::path(KIROKU_TEST_DATA_DIR) / "realistic_game.json")});
  return inputs;
}

const Inputs& real_corpus() {
  static const Inputs inputs = [] {
    std::vector<std::string> documents;
    for (const fs::path& path : files_in(KIROKU_CORPUS_DIR, ".json")) documents.push_back(read_file(path));
    return load(documents);
  }();
  return inputs;
}

#ifdef KIROKU_HAVE_SIM
// Compact one-line logs, as the site exports them; each must read back to
// the record it was written from.
const Inputs& generated_games() {
  static const Inputs inputs = [] {
    std::vector<std::string> documents;
    std::vector<JsonLog> logs;
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
      auto game = kiroku::sim::simulate_game(seed, kiroku::sim::realistic_settings());
      documents.push_back(kiroku::sim::write_tenhou_log(game.log));
      logs.push_back(std::move(game.log));
    }
    return load(documents, logs);
  }();
  return inputs;
}
#endif

// --- the plain walk ---------------------------------------------------------

struct Sink {
  std::uint64_t numbers = 0;
  std::size_t string_bytes = 0;
  void take(std::uint64_t v) { numbers += v; }
  void take(std::int64_t v) { numbers += static_cast<std::uint64_t>(v); }
  void take(double v) { numbers += static_cast<std::uint64_t>(v != 0.0); }
  void take(std::string_view s) { string_bytes += s.size(); }
};

using simdjson::error_code;

error_code walk_any(od::value value, Sink& sink);

error_code walk_array(od::value value, Sink& sink) {
  od::array array;
  if (const error_code e = value.get_array().get(array)) return e;
  for (auto element : array) {
    od::value v;
    if (const error_code e = element.get(v)) return e;
    if (const error_code e = walk_any(v, sink)) return e;
  }
  return simdjson::SUCCESS;
}

// A value of no known shape: a result entry's details, or a list entry
// that is a tile code or call notation.
error_code walk_any(od::value value, Sink& sink) {
  od::json_type type{};
  if (const error_code e = value.type().get(type)) return e;
  switch (type) {
    case od::json_type::array: return walk_array(value, sink);
    case od::json_type::object: {
      od::object object;
      if (const error_code e = value.get_object().get(object)) return e;
      for (auto member : object) {
        od::field field;
        if (const error_code e = std::move(member).get(field)) return e;
        if (const error_code e = walk_any(field.value(), sink)) return e;
      }
      return simdjson::SUCCESS;
    }
    case od::json_type::number: {
      std::uint64_t u = 0;
      if (value.get_uint64().get(u) == simdjson::SUCCESS) {
        sink.take(u);
        return simdjson::SUCCESS;
      }
      std::int64_t i = 0;
      if (value.get_int64().get(i) == simdjson::SUCCESS) {
        sink.take(i);
        return simdjson::SUCCESS;
      }
      double d = 0;
      if (const error_code e = value.get_double().get(d)) return e;
      sink.take(d);
      return simdjson::SUCCESS;
    }
    case od::json_type::string: {
      std::string_view s;
      if (const error_code e = value.get_string().get(s)) return e;
      sink.take(s);
      return simdjson::SUCCESS;
    }
    case od::json_type::boolean: {
      bool b = false;
      if (const error_code e = value.get_bool().get(b)) return e;
      sink.take(std::uint64_t{b});
      return simdjson::SUCCESS;
    }
    case od::json_type::null: return simdjson::SUCCESS;
  }
  return simdjson::INCORRECT_TYPE;
}

template <typename T>
error_code walk_numbers(od::value value, Sink& sink) {
  od::array array;
  if (const error_code e = value.get_array().get(array)) return e;
  for (auto element : array) {
    T v{};
    if (const error_code e = element.get(v)) return e;
    sink.take(v);
  }
  return simdjson::SUCCESS;
}

error_code walk_strings(od::value value, Sink& sink) {
  od::array array;
  if (const error_code e = value.get_array().get(array)) return e;
  for (auto element : array) {
    std::string_view s;
    if (const error_code e = element.get(s)) return e;
    sink.take(s);
  }
  return simdjson::SUCCESS;
}

error_code walk_hand(od::value value, Sink& sink) {
  od::array array;
  if (const error_code e = value.get_array().get(array)) return e;
  std::size_t position = 0;
  for (auto element : array) {
    od::value v;
    if (const error_code e = element.get(v)) return e;
    error_code e = simdjson::SUCCESS;
    if (position == 1) {
      e = walk_numbers<std::int64_t>(v, sink);
    } else if (position < 4 || (position < 16 && (position - 4) % 3 == 0)) {
      e = walk_numbers<std::uint64_t>(v, sink);
    } else {
      e = walk_array(v, sink);  // takes, discards and the result: mixed entries
    }
    if (e) return e;
    ++position;
  }
  return simdjson::SUCCESS;
}

error_code walk_log(const PaddedText& text, od::parser& parser, Sink& sink) {
  od::document doc;
  if (const error_code e = parser.iterate(text.data(), text.size(), text.size() + PaddedText::kPadding).get(doc)) {
    return e;
  }
  od::object root;
  if (const error_code e = doc.get_object().get(root)) return e;
  for (auto member : root) {
    od::field field;
    if (const error_code e = std::move(member).get(field)) return e;
    const std::string_view key = field.key().raw();  // raw: the walk does not unescape
    error_code e = simdjson::SUCCESS;
    if (key.starts_with("log\"")) {
      od::array hands;
      if ((e = field.value().get_array().get(hands))) return e;
      for (auto hand : hands) {
        od::value v;
        if ((e = hand.get(v)) || (e = walk_hand(v, sink))) return e;
      }
    } else if (key.starts_with("name\"") || key.starts_with("dan\"") || key.starts_with("sx\"")) {
      e = walk_strings(field.value(), sink);
    } else if (key.starts_with("rule\"")) {
      e = walk_any(field.value(), sink);
    } else if (key.starts_with("rate\"")) {
      e = walk_numbers<double>(field.value(), sink);
    } else if (key.starts_with("ratingc\"")) {
      std::string_view s;
      if (!(e = field.value().get(s))) sink.take(s);
    } else if (key.starts_with("lobby\"")) {
      std::int64_t v = 0;
      if (!(e = field.value().get(v))) sink.take(v);
    }
    if (e) return e;
  }
  return simdjson::SUCCESS;
}

// --- timing -----------------------------------------------------------------

bool usable(benchmark::State& state, const Inputs& inputs) {
  if (inputs.error.empty()) return true;
  state.SkipWithError(inputs.error.c_str());
  return false;
}

// Times `pass` over every document of the set; reports the mean rate and the
// fastest pass.
// Time this thread has run, in nanoseconds: time spent waiting for a core
// that other work holds does not count.
std::int64_t thread_cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

template <typename Pass>
void time_passes(benchmark::State& state, const Inputs& inputs, Pass pass) {
  std::int64_t best = std::numeric_limits<std::int64_t>::max();
  for (auto _ : state) {
    const std::int64_t start = thread_cpu_ns();
    for (const PaddedText& text : inputs.texts) pass(text);
    best = std::min(best, thread_cpu_ns() - start);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(inputs.bytes));
  state.counters["best_MB/s"] = static_cast<double>(inputs.bytes) * 1e3 / static_cast<double>(best);
}

void read_log(benchmark::State& state, const Inputs& (*inputs_of)()) {
  const Inputs& inputs = inputs_of();
  if (!usable(state, inputs)) return;
  time_passes(state, inputs, [](const PaddedText& text) {
    auto log = kiroku::read_json_log(text);
    benchmark::DoNotOptimize(log);
  });
}

void plain_walk(benchmark::State& state, const Inputs& (*inputs_of)()) {
  const Inputs& inputs = inputs_of();
  if (!usable(state, inputs)) return;
  od::parser parser;
  Sink sink;
  for (const PaddedText& text : inputs.texts) {
    if (const error_code e = walk_log(text, parser, sink)) {
      state.SkipWithError(simdjson::error_message(e));
      return;
    }
  }
  time_passes(state, inputs, [&](const PaddedText& text) {
    const error_code e = walk_log(text, parser, sink);
    benchmark::DoNotOptimize(e);
  });
  benchmark::DoNotOptimize(sink);
}

BENCHMARK_CAPTURE(read_log, realistic_game, realistic_game);
BENCHMARK_CAPTURE(plain_walk, realistic_game, realistic_game);
BENCHMARK_CAPTURE(read_log, real_corpus, real_corpus);
BENCHMARK_CAPTURE(plain_walk, real_corpus, real_corpus);
#ifdef KIROKU_HAVE_SIM
BENCHMARK_CAPTURE(read_log, generated_games, generated_games);
BENCHMARK_CAPTURE(plain_walk, generated_games, generated_games);
#endif

}  // namespace

BENCHMARK_MAIN();
