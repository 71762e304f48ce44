// The XML path beside the JSON path on the same games: Tenhou's six official
// pairs (an XML log and Tenhou's own JSON conversion of it), each format's
// reader alone and its whole pipeline.  Before timing, both paths must give
// the same events for every pair.
//
//   build-bench/bench/kiroku_format_bench      (after `make bench`)
//
// The XML reader parses in place, so every XML run first copies the text into
// a reused buffer, as a front end reads a file into one; `xml_copy` times that
// copy alone.

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "kiroku/pipeline.h"
#include "kiroku/read/json_reader.h"
#include "kiroku/read/xml_reader.h"

namespace {

namespace fs = std::filesystem;
using kiroku::PaddedText;

using kiroku::bench::files_in;
using kiroku::bench::read_file;

struct Pairs {
  std::vector<std::string> xml;
  std::vector<std::string> json;
  std::size_t xml_bytes = 0;
  std::size_t json_bytes = 0;
  std::string error;  // why the pairs cannot be timed
};

const Pairs& official_pairs() {
  static const Pairs pairs = [] {
    Pairs loaded;
    const fs::path dir = fs::path(KIROKU_XML_CORPUS_DIR) / "official-pairs";
    if (!fs::is_directory(dir)) {
      loaded.error = dir.string() + " is absent";
      return loaded;
    }
    for (const fs::path& path : files_in(dir, ".xml")) {
      loaded.xml.push_back(read_file(path));
      loaded.json.push_back(read_file(fs::path(path).replace_extension(".json")));
      loaded.xml_bytes += loaded.xml.back().size();
      loaded.json_bytes += loaded.json.back().size();
      PaddedText xml = PaddedText::copy_of(loaded.xml.back());
      PaddedText json = PaddedText::copy_of(loaded.json.back());
      const auto from_xml = kiroku::convert_text(xml);
      const auto from_json = kiroku::convert_text(json);
      if (!from_xml || !from_json || from_xml->lines() != from_json->lines()) {
        loaded.error = "the two paths differ on " + path.filename().string();
      }
    }
    return loaded;
  }();
  return pairs;
}

bool usable(benchmark::State& state, const Pairs& pairs) {
  if (pairs.error.empty()) return true;
  state.SkipWithError(pairs.error.c_str());
  return false;
}

void report(benchmark::State& state, std::size_t bytes, std::size_t games) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.counters["games/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(games), benchmark::Counter::kIsRate);
}

// One buffer per XML text, refilled before every run as a front end fills
// the buffer it reads a file into.
std::vector<PaddedText> buffers_for(const std::vector<std::string>& texts) {
  std::vector<PaddedText> buffers;
  for (const std::string& text : texts) buffers.push_back(PaddedText::with_size(text.size()));
  return buffers;
}

void refill(PaddedText& buffer, const std::string& text) { std::memcpy(buffer.data(), text.data(), text.size()); }

// Times `step` on every JSON text; the pipeline only reads them, so one copy
// serves every run.
template <class Step>
void time_json(benchmark::State& state, Step step) {
  const Pairs& pairs = official_pairs();
  if (!usable(state, pairs)) return;
  std::vector<PaddedText> texts;
  for (const std::string& json : pairs.json) texts.push_back(PaddedText::copy_of(json));
  for (auto _ : state) {
    for (PaddedText& text : texts) step(text);
  }
  report(state, pairs.json_bytes, texts.size());
}

// Times `step` on every XML text, copied into its buffer before every run
// (the reader parses it in place); the copy is timed too.
template <class Step>
void time_xml(benchmark::State& state, Step step) {
  const Pairs& pairs = official_pairs();
  if (!usable(state, pairs)) return;
  std::vector<PaddedText> buffers = buffers_for(pairs.xml);
  for (auto _ : state) {
    for (std::size_t i = 0; i < buffers.size(); ++i) {
      refill(buffers[i], pairs.xml[i]);
      step(buffers[i]);
    }
  }
  report(state, pairs.xml_bytes, pairs.xml.size());
}

void json_read(benchmark::State& state) {
  time_json(state, [](const PaddedText& text) { benchmark::DoNotOptimize(kiroku::read_json_log(text)); });
}

void xml_copy(benchmark::State& state) {
  time_xml(state, [](PaddedText& text) { benchmark::DoNotOptimize(text.data()); });
}

void xml_read(benchmark::State& state) {
  time_xml(state, [](PaddedText& text) { benchmark::DoNotOptimize(kiroku::read_xml_log(text)); });
}

void json_pipeline(benchmark::State& state) {
  time_json(state, [](PaddedText& text) { benchmark::DoNotOptimize(kiroku::convert_text(text)); });
}

void xml_pipeline(benchmark::State& state) {
  time_xml(state, [](PaddedText& text) { benchmark::DoNotOptimize(kiroku::convert_text(text)); });
}

BENCHMARK(json_read);
BENCHMARK(xml_copy);
BENCHMARK(xml_read);
BENCHMARK(json_pipeline);
BENCHMARK(xml_pipeline);

}  // namespace

BENCHMARK_MAIN();
