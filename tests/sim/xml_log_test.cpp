// Simulated games as Tenhou's XML log: a three-player game and broken
// records are refused by the stage they break, no mutation of a valid
// record crashes the pipeline (the sanitizer build runs this too), and the
// direct reading of Tenhou's form reads every mutant as the parser does.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "kiroku/pipeline.h"
#include "kiroku/read/xml_reader.h"
#include "sim/game_simulator.h"
#include "sim/sim_rng.h"
#include "sim/tenhou_xml_writer.h"

namespace kiroku::sim {
namespace {

constexpr std::uint64_t kSeeds = 40;

std::expected<EncodedEvents, PipelineError> convert(const std::string& text) {
  return convert_text(PaddedText::copy_of(text));
}

std::string xml_of(std::uint64_t seed, std::uint16_t type_extra = 0) {
  const SimulatedGame game = simulate_game(seed, property_settings(seed));
  return write_tenhou_xml(game.log, game.events, type_extra);
}

// The first draw or discard element of a letter ("<T12/>"), as [begin, end).
std::pair<std::size_t, std::size_t> tile_step(const std::string& text, char letter) {
  std::size_t begin = 0;
  do {
    begin = text.find(std::string("<") + letter, begin + 1);
  } while (!std::isdigit(static_cast<unsigned char>(text[begin + 2])));
  return {begin, text.find('>', begin) + 1};
}

std::string number_list_entry(const std::string& text, std::string_view attribute) {
  const std::size_t at = text.find(std::string(attribute) + "=\"") + attribute.size() + 2;
  return text.substr(at, text.find_first_of(",\"", at) - at);
}

TEST(xml_log_test, a_three_player_game_is_refused_by_its_type) {
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    const auto refused = convert(xml_of(seed, 0x10));
    ASSERT_FALSE(refused) << "seed " << seed;
    EXPECT_EQ(refused.error().stage(), Stage::Prepare);
  }
}

TEST(xml_log_test, broken_records_are_refused_by_the_stage_they_break) {
  for (std::uint64_t seed = 1; seed <= kSeeds; ++seed) {
    const std::string xml = xml_of(seed);
    ASSERT_TRUE(convert(xml)) << "seed " << seed;
    const auto expect = [&](const std::string& broken, Stage stage, std::string_view what,
                            std::string_view diagnostic) {
      const auto refused = convert(broken);
      ASSERT_FALSE(refused) << "seed " << seed << ": " << what;
      EXPECT_EQ(refused.error().stage(), stage) << "seed " << seed << ": " << what << ": " << describe(refused.error());
      EXPECT_NE(describe(refused.error()).find(diagnostic), std::string::npos)
          << "seed " << seed << ": " << what << ": " << describe(refused.error());
    };

    // The dealer's first draw, twice.
    const auto [draw_begin, draw_end] = tile_step(xml, 'T');
    std::string twice = xml;
    twice.insert(draw_end, xml.substr(draw_begin, draw_end - draw_begin));
    expect(twice, Stage::Convert, "a draw repeated", "hand 0 (honba 0), seat 0: ");

    // An exhaustive draw, or the draws that need kans or riichi, after the
    // first discard: a draw the play could not bring about.
    const std::string first_discard = xml.substr(0, tile_step(xml, 'D').second);
    for (const auto& [type, why] : std::initializer_list<std::pair<std::string, std::string>>{
             {"", "an exhaustive draw before the live wall is used up"},
             {" type=\"kan4\"", "a four-kan draw without four kans"},
             {" type=\"reach4\"", "a four-riichi draw that does not follow"}}) {
      expect(first_discard + "<RYUUKYOKU ba=\"0,0\" sc=\"250,0,250,0,250,0,250,0\"" + type + "/></mjloggm>",
             Stage::Convert, "an impossible draw", why);
    }

    // Seat 0's first discard of the first hand made a tile dealt to seat 1.
    const auto [discard_begin, discard_end] = tile_step(xml, 'D');
    if (discard_begin < xml.find("<INIT", xml.find("<INIT") + 1)) {
      std::string stolen = xml;
      stolen.replace(discard_begin, discard_end - discard_begin, "<D" + number_list_entry(xml, "hai1") + "/>");
      expect(stolen, Stage::Convert, "a discard of a tile not held", "seat 0: tile id");
    }

    // The last hand's result left out: the record stops mid-hand.
    std::string cut_short = xml;
    const std::size_t last_result = std::max(
        xml.rfind("<AGARI"), xml.rfind("<RYUUKYOKU") == std::string::npos ? std::size_t{0} : xml.rfind("<RYUUKYOKU"));
    const std::size_t first_of_results = [&] {
      // A double ron writes two wins in a row: leave both out.
      std::size_t at = last_result;
      const std::size_t previous = xml.rfind("<AGARI", at - 1);
      if (previous != std::string::npos && xml.find('>', previous) + 1 == at) at = previous;
      return at;
    }();
    cut_short.erase(first_of_results, xml.find('>', last_result) + 1 - first_of_results);
    expect(cut_short, Stage::Convert, "no result", "the hand stops without a result");

    // Cut anywhere: in a tag, or past one the reader already took.
    expect(xml.substr(0, xml.size() / 2), Stage::Read, "cut in the middle", "read: ");
    std::string far_tile = xml;
    far_tile.replace(draw_begin, draw_end - draw_begin, "<T136/>");
    expect(far_tile, Stage::Read, "a tile id past 135", "<T136> at byte");
  }
}

// The game and every hand as a reader gives them, or its message.
std::string read_all(const std::string& xml, bool with_parser) {
  PaddedText text = PaddedText::copy_of(xml);
  auto reader = with_parser ? XmlReader::open_with_parser(text) : XmlReader::open(text);
  if (!reader) return reader.error().message;
  std::string seen = reader->game().names[0] + std::to_string(reader->game().game_type);
  for (XmlHand hand;;) {
    auto more = reader->next_hand(hand);
    if (!more) return seen + more.error().message;
    if (!*more) return seen;
    seen += std::to_string(hand.steps.size()) + "," + std::to_string(hand.wins.size()) + ";";
    for (const XmlStep& step : hand.steps) seen += std::to_string(step.tile);
  }
}

TEST(xml_log_test, mutated_records_never_crash_the_pipeline) {
  std::size_t converted = 0;
  std::size_t refused = 0;
  for (std::uint64_t seed = 1; seed <= kSeeds; ++seed) {
    const std::string xml = xml_of(seed);
    Rng rng(seed * 7919);
    for (int mutant = 0; mutant < 50; ++mutant) {
      std::string text = xml;
      {
        const std::size_t at = rng.below(text.size());
        const std::size_t length = 1 + rng.below(12);
        switch (rng.below(4)) {
          case 0: text[at] = "0123456789<>/=\",TDNUVW"[rng.below(22)]; break;
          case 1: text.erase(at, length); break;
          case 2: text.insert(at, text.substr(rng.below(text.size()), length)); break;
          default:
            text.insert(
                at, "<N who=\"" + std::to_string(rng.below(5)) + "\" m=\"" + std::to_string(rng.below(70000)) + "\"/>");
        }
      }
      // Read directly where it keeps Tenhou's form, else by the parser
      // alone: the same hands or the same message.
      ASSERT_EQ(read_all(text, false), read_all(text, true)) << "seed " << seed << ", mutant " << mutant;
      const auto result = convert(text);
      ++(result ? converted : refused);
      if (result) {
        for (const std::string_view event_text : *result) ASSERT_FALSE(event_text.empty());
      }
    }
  }
  std::printf("[ xml ] mutants converted %zu, refused %zu\n", converted, refused);
  EXPECT_GT(refused, 0U);
}

}  // namespace
}  // namespace kiroku::sim
