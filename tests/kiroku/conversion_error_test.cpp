#include "kiroku/conversion_error.h"

#include <gtest/gtest.h>

#include <string>

#include "hand_builder.h"

namespace kiroku {
namespace {

using testing::convert_log;
using testing::HandBuilder;
using testing::log_of;
using testing::tile;

ConversionError error_of(ConversionErrorKind kind, std::optional<event::Seat> seat = 2) {
  ConversionError error;
  error.kind = kind;
  error.hand = HandId{.hand_index = 5, .honba = 1, .deposits = 0};
  error.hand_position = 9;
  error.seat = seat;
  return error;
}

TEST(conversion_error_test, describe_names_hand_honba_and_seat) {
  EXPECT_EQ(describe(error_of(ConversionErrorKind::TakesExhausted)), "hand 5 (honba 1), seat 2: no take entry left");
  EXPECT_EQ(describe(error_of(ConversionErrorKind::NoDoraMarker, std::nullopt)),
            "hand 5 (honba 1): no dora indicator left");
  EXPECT_EQ(describe(error_of(ConversionErrorKind::UnreadEntries)),
            "hand 5 (honba 1), seat 2: the hand ended with entries left unread");
}

TEST(conversion_error_test, describe_shows_the_offending_entry) {
  ConversionError error = error_of(ConversionErrorKind::InvalidNotation);
  error.text = "p1234";
  EXPECT_EQ(describe(error), "hand 5 (honba 1), seat 2: invalid call notation \"p1234\"");
  error = error_of(ConversionErrorKind::InvalidTileCode);
  error.text = "1x";
  EXPECT_EQ(describe(error), "hand 5 (honba 1), seat 2: invalid tile code \"1x\" in call notation");
  error = error_of(ConversionErrorKind::UnexpectedNumber);
  error.number = 60;
  EXPECT_EQ(describe(error), "hand 5 (honba 1), seat 2: take entry 60 is not a tile");
}

TEST(conversion_error_test, regression_log_bytes_in_a_diagnostic_are_escaped) {
  // An entry's bytes are the log's, anything at all: a terminal escape in
  // one must not reach the terminal, nor a line feed split the one line.
  struct Case {
    std::string take;
    std::string discard;
    std::string message;
  };
  const Case cases[] = {
      {std::string(1, '\0'), "", "invalid call notation \"\\0\""},
      {"c21\n\x1b[31mX", "", "invalid call notation \"c21\\n\\u{1b}[31mX\""},
      {"", "r\xC2\x9B", "invalid tile code \"\\u{9b}\" in call notation"},  // CSI, in UTF-8
  };
  for (const Case& c : cases) {
    HandBuilder hand = HandBuilder().seat(0, {11}, {});
    if (!c.take.empty()) hand.record().seats[0].takes = {NotationText(c.take)};
    if (!c.discard.empty()) hand.record().seats[0].discards = {NotationText(c.discard)};
    auto events = convert_log(log_of({hand}));
    ASSERT_FALSE(events.has_value());
    const std::string line = describe(events.error());
    EXPECT_EQ(line, "hand 0 (honba 0), seat 0: " + c.message);
    for (const char byte : line) EXPECT_GE(static_cast<unsigned char>(byte), 0x20) << line;
  }
}

TEST(conversion_error_test, describe_shows_the_mismatched_call_and_the_discard) {
  ConversionError error = error_of(ConversionErrorKind::MismatchedCall);
  error.call = event::Pon{.actor = 2, .target = 1, .pai = tile(25), .consumed = {tile(25), tile(25)}};
  error.discard_seen = true;
  error.previous_discarder = 0;
  error.last_tile = tile(11);
  EXPECT_EQ(describe(error),
            "hand 5 (honba 1), seat 2: pon of 5p from seat 1 does not fit the last discard (1m from seat 0)");
  error.discard_seen = false;
  error.call = event::Chi{.actor = 2, .target = 1, .pai = tile(53), .consumed = {tile(34), tile(36)}};
  EXPECT_EQ(describe(error),
            "hand 5 (honba 1), seat 2: chi of 5sr from seat 1 does not fit the last discard (none yet)");
}

}  // namespace
}  // namespace kiroku
