// The notation the simulator writes must be the notation real logs use,
// or the property test would only prove that the converter agrees with us.
// Every expected text below occurs in a real Tenhou export.
#include "sim/log_notation.h"

#include <gtest/gtest.h>

#include "sim/sim_tiles.h"

#include "kiroku/tile_code.h"

namespace kiroku::sim {
namespace {

Tile code(std::uint8_t c) { return *tile_from_code(c); }

TEST(log_notation_test, calls_put_the_letter_where_the_called_seat_sits) {
  EXPECT_EQ(chi_notation(code(37), {code(53), code(36)}), "c375336");
  EXPECT_EQ(pon_notation(3, code(15), {code(15), code(51)}), "p151551");
  EXPECT_EQ(pon_notation(2, code(18), {code(18), code(18)}), "18p1818");
  EXPECT_EQ(pon_notation(1, code(22), {code(22), code(22)}), "2222p22");
  EXPECT_EQ(daiminkan_notation(3, code(43), {code(43), code(43), code(43)}), "m43434343");
  EXPECT_EQ(daiminkan_notation(2, code(21), {code(21), code(21), code(21)}), "21m212121");
  EXPECT_EQ(daiminkan_notation(1, code(26), {code(26), code(26), code(26)}), "262626m26");
}

TEST(log_notation_test, kans_from_the_hand) {
  EXPECT_EQ(ankan_notation({code(15), code(15), code(15), code(51)}), "151515a51");
  EXPECT_EQ(kakan_notation_from_pon("p474747", code(47)), "k47474747");
  EXPECT_EQ(kakan_notation_from_pon("46p4646", code(46)), "46k464646");
  EXPECT_EQ(kakan_notation_from_pon("3737p37", code(37)), "3737k3737");
}

TEST(log_notation_test, added_kan_from_its_fields_matches_the_pon_it_grows_from) {
  // The pon's tiles in the order of its text, for each seat called from.
  const std::array<Tile, 3> fields = {code(25), code(52), code(25)};
  EXPECT_EQ(kakan_notation(3, code(25), fields), kakan_notation_from_pon("p255225", code(25)));
  EXPECT_EQ(kakan_notation(2, code(25), fields), kakan_notation_from_pon("25p5225", code(25)));
  EXPECT_EQ(kakan_notation(1, code(25), fields), kakan_notation_from_pon("2552p25", code(25)));
}

TEST(log_notation_test, riichi_and_seats) {
  EXPECT_EQ(riichi_notation(code(29)), "r29");
  EXPECT_EQ(riichi_notation(std::nullopt), "r60");
  EXPECT_EQ(relative_seat(0, 3), 3);  // seat 3 sits before seat 0
  EXPECT_EQ(relative_seat(3, 1), 2);
  EXPECT_EQ(relative_seat(2, 3), 1);
}

}  // namespace
}  // namespace kiroku::sim
