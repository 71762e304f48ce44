// The XML path beside the JSON path on the same games: Tenhou's six official
// pairs (an XML log and Tenhou's own JSON conversion of it), each format's
// reader alone and its whole pipeline.  Before timing, both paths must give
// the same events for every pair.
//
//   build-bench/bench/kiroku_format_bench      (after `make bench`)
//
// The pipeline takes its text over (and the XML reader parses it in place),
// so every run first copies the text into a buffer of its own, as a front
// end reads a file into one; `xml_copy` times that copy alone.

#include <benchmark/benchmark.h>

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
      const auto from_xml = kiroku::convert_text(PaddedText::copy_of(loaded.xml.back()));
      const auto from_json = kiroku::convert_text(PaddedText::copy_of(loaded.json.back()));
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
  state.counters["games/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(games),
                                                 benchmark::Counter::kIsRate);
}

// Times `step` on every text of one format, each run on a buffer of its own
// as a front end fills the buffer it hands over (the XML reader parses it in
// place); making the buffer is timed too.
template <class Step>
void time_texts(benchmark::State& state, const std::vector<std::string>& texts, std::size_t bytes, Step step) {
  for (auto _ : state) {
    for (const std::string& text : texts) step(PaddedText::copy_of(text));
  }
  report(state, bytes, texts.size());
}

template <class Step>
void time_json(benchmark::State& state, Step step) {
  const Pairs& pairs = official_pairs();
  if (usable(state, pairs)) time_texts(state, pairs.json, pairs.json_bytes, step);
}

template <class Step>
void time_xml(benchmark::State& state, Step step) {
  const Pairs& pairs = official_pairs();
  if (usable(state, pairs)) time_texts(state, pairs.xml, pairs.xml_bytes, step);
}

void json_read(benchmark::State& state) {
  time_json(state, [](PaddedText text) { benchmark::DoNotOptimize(kiroku::read_json_log(text)); });
}

void xml_copy(benchmark::State& state) {
  time_xml(state, [](PaddedText text) { benchmark::DoNotOptimize(text.data()); });
}

void xml_read(benchmark::State& state) {
  time_xml(state, [](PaddedText text) {
    auto reader = kiroku::XmlReader::open(text);
    kiroku::XmlHand hand;
    while (reader && reader->next_hand(hand).value_or(false)) benchmark::DoNotOptimize(hand);
  });
}

void json_pipeline(benchmark::State& state) {
  time_json(state, [](PaddedText text) { benchmark::DoNotOptimize(kiroku::convert_text(std::move(text))); });
}

void xml_pipeline(benchmark::State& state) {
  time_xml(state, [](PaddedText text) { benchmark::DoNotOptimize(kiroku::convert_text(std::move(text))); });
}

BENCHMARK(json_read);
BENCHMARK(xml_copy);
BENCHMARK(xml_read);
BENCHMARK(json_pipeline);
BENCHMARK(xml_pipeline);

}  // namespace

BENCHMARK_MAIN();
