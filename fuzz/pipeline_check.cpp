#include "pipeline_check.h"

#include <simdjson.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <expected>
#include <string>

#include "heap_peak.h"
#include "kiroku/pipeline.h"

namespace kiroku::fuzz {
namespace {

// How far fuzzing got into the converter's fallbacks: how many inputs had a
// hand retried, or searched past the retries, how many of those converted in
// the end, and when the first of each was met.  A line goes to standard error at the first one and
// the totals at exit, so a campaign's log shows how soon the mutations reach
// the retry loop and the search.
struct ConversionCounts {
  std::uint64_t runs = 0;
  std::uint64_t converted = 0;
  std::uint64_t retried = 0;  // whether converted or not
  std::uint64_t searched = 0;
  std::uint64_t converted_retried = 0;
  std::uint64_t converted_searched = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

  // Made at the first conversion; the report is set up after it is made, so
  // that it runs before the counts go away.
  static ConversionCounts& get() {
    static ConversionCounts counts;
    [[maybe_unused]] static const int reporting = std::atexit(report);
    return counts;
  }

  void note_first(const char* what) const {
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "kiroku-fuzz: first %s at execution %llu (%.1f s)\n", what,
                 static_cast<unsigned long long>(runs), elapsed);
  }

  static void report();
};

void ConversionCounts::report() {
  const ConversionCounts& counts = get();
  const auto n = [](std::uint64_t value) { return static_cast<unsigned long long>(value); };
  std::fprintf(stderr,
               "kiroku-fuzz: %llu executions, %llu converted; a hand retried in %llu (%llu converted), "
               "a hand searched in %llu (%llu converted)\n",
               n(counts.runs), n(counts.converted), n(counts.retried), n(counts.converted_retried), n(counts.searched),
               n(counts.converted_searched));
}

// `text` lies inside a simdjson::padded_string, whose slack after its end
// lets the parser read past any text without a copy of its own.
void check_event_text(std::string_view text, simdjson::dom::parser& parser) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) fail("an event text holds a raw control byte");
  }
  // The DOM parser refuses a second value after the first, so one object
  // parsed is the whole text.
  simdjson::dom::object object;
  if (parser.parse(text.data(), text.size(), false).get(object) != simdjson::SUCCESS) {
    fail("an event text is not one JSON object");
  }
  std::string_view type;
  if (object["type"].get(type) != simdjson::SUCCESS) fail("an event text has no string \"type\"");
}

void check_events(const EncodedEvents& events) {
  thread_local simdjson::dom::parser parser;
  // One padded copy of the whole arena serves every text's parse.
  const simdjson::padded_string padded(events.lines());
  const std::string_view lines(padded.data(), padded.size());
  if (!lines.empty() && !lines.ends_with('\n')) fail("bytes after the last event's line feed");
  std::size_t count = 0;
  std::size_t offset = 0;
  std::string_view first;
  std::string_view last;
  for (const std::string_view text : events) {
    if (text.empty()) fail("an empty event text");
    check_event_text(lines.substr(offset, text.size()), parser);
    offset += text.size() + 1;
    if (count++ == 0) first = text;
    last = text;
  }
  if (count != events.size()) fail("the arena holds another number of texts than were written");
  if (count < 2 || !first.starts_with(R"({"type":"start_game")") || last != R"({"type":"end_game"})") {
    fail("a converted game does not run from start_game to end_game");
  }
}

// What a conversion may hold beyond its text: the reader's buffers, one
// hand's events and their texts (about 70 KiB for a game; the parser's own
// buffers grew in the runs before).  Tight enough that a blow-up of ten
// times the text trips it from inputs of some 64 KiB on, as campaigns make.
constexpr std::size_t kHeldBeyondText = std::size_t{512} << 10;
constexpr std::size_t kHeldPerTextByte = 3;

// Converts `text` as the tool does, a hand's texts at a time, held to the
// memory bound and checked piece by piece against `whole`, the output of a
// conversion of the same text at once, or the error it failed with (after
// the pieces of the hands before the failing one).
void check_streamed(std::string_view text, const std::expected<EncodedEvents, PipelineError>& whole) {
  start_heap_watch();
  Conversion conversion(PaddedText::copy_of(text));
  std::size_t at = 0;
  for (;;) {
    auto piece = conversion.next();
    if (!piece) {
      if (whole || describe(piece.error()) != describe(whole.error())) {
        fail("a streamed run of one input fails where a whole one does not, or differently");
      }
      break;
    }
    if (!*piece) {
      if (!whole || at != whole->lines().size()) fail("a streamed run of one input ends where a whole one does not");
      break;
    }
    if (whole && whole->lines().substr(at, (*piece)->size()) != **piece) {
      fail("a streamed run of one input gives other output");
    }
    at += (*piece)->size();
  }
  if (heap_peak_since_start() > kHeldBeyondText + kHeldPerTextByte * text.size()) {
    fail("a conversion held more than three times its text (and 512 KiB) beside it");
  }
}

// A game that converts is written as Tenhou's JSON log, which through the
// JSON path must give the same events: the written lists keep everything the
// conversion needs.  Only the writer's own refusal (a yaku without a name)
// may stop a game that converts.
void check_tenhou6(std::string_view text, const EncodedEvents& events) {
  const auto written = convert_to_tenhou6(PaddedText::copy_of(text), "");
  if (!written) {
    if (written.error().stage() != Stage::Prepare) fail("a game that converts is not written as Tenhou's JSON log");
    return;
  }
  const auto from_written = convert_text(PaddedText::copy_of(*written));
  if (!from_written || from_written->lines() != events.lines()) {
    fail("Tenhou's JSON log written of a game gives other events than the game");
  }
}

}  // namespace

void fail(std::string_view what) {
  std::fprintf(stderr, "kiroku-fuzz: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

void check_pipeline(std::string_view text) {
  ConversionCounts& counts = ConversionCounts::get();
  // The pipeline takes its text over, so each run gets its own copy.
  conv::ConversionStats stats;
  const auto first = convert_text(PaddedText::copy_of(text), &stats);
  ++counts.runs;
  if (stats.hands_retried > 0 && counts.retried++ == 0) counts.note_first("retried hand");
  if (stats.hands_searched > 0 && counts.searched++ == 0) counts.note_first("searched hand");

  conv::ConversionStats again_stats;
  const auto again = convert_text(PaddedText::copy_of(text), &again_stats);
  if (first.has_value() != again.has_value()) fail("a second run of one input succeeds where the first did not");
  if (!first) {
    if (first.error().stage() != again.error().stage() || describe(first.error()) != describe(again.error())) {
      fail("a second run of one input fails differently");
    }
    check_streamed(text, first);
    return;
  }
  if (first->lines() != again->lines() || first->size() != again->size()) {
    fail("a second run of one input gives other output");
  }
  check_streamed(text, first);
  if (stats.hands_retried != again_stats.hands_retried || stats.hands_searched != again_stats.hands_searched) {
    fail("a second run of one input retries or searches other hands");
  }
  check_events(*first);
  check_tenhou6(text, *first);

  ++counts.converted;
  if (stats.hands_retried > 0 && counts.converted_retried++ == 0)
    counts.note_first("converted game with a retried hand");
  if (stats.hands_searched > 0 && counts.converted_searched++ == 0)
    counts.note_first("converted game with a searched hand");
}

}  // namespace kiroku::fuzz
