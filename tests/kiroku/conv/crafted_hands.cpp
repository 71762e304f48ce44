#include "crafted_hands.h"

#include <array>
#include <string>
#include <vector>

#include "hand_builder.h"

namespace kiroku::testing {

HandBuilder dead_end_hand() {
  // s0 draws 1m, throws it; s1 draws 2m, throws it; s2 draws 3m, throws 3s;
  // s3 draws 9p, throws it; s2 pons the 9p, throws its second 3s; s0 pons
  // that, throws 4s; s1 draws 5s and wins.
  return HandBuilder()
      .seat(0, {11, "33p3333"}, {60, 34})
      .seat(1, {12, 35}, {60})
      .seat(2, {13, "2929p29"}, {33, 33})
      .seat(3, {29}, {60})
      .win(1, 1, {-1000, 3000, -1000, -1000});
}

HandBuilder two_tile_hand() {
  // s0 draws 1m, throws it; s1 draws 2m, throws 1p (not called); s2 draws 3m,
  // throws it; s1 pons the 3m, throws its second 1p; s0 pons that, throws 9s;
  // s3 pons the 9s at once, throws P; s0 draws 4m, throws its second 9s; s1,
  // s2 and s3 draw and throw 5m, 6m, 7m: an exhaustive draw.
  return HandBuilder()
      .seat(0, {11, "2121p21", 14}, {60, 39, 39})
      .seat(1, {12, "1313p13", 15}, {21, 21, 60})
      .seat(2, {13, 16}, {60, 60})
      .seat(3, {"3939p39", 17}, {45, 60});
}

HandBuilder caterpillar_hand(std::size_t rounds, bool distinct_tiles) {
  // Tiles seat 1 throws and seat 0 pons back: anything but the 1p.
  static constexpr std::array<int, 31> kPool = {13, 14, 15, 16, 17, 18, 19, 22, 23, 24, 25, 26, 27, 28, 29, 31,
                                                32, 33, 34, 35, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47};
  std::vector<Entry> takes0{11};
  std::vector<Entry> discards0{21};
  std::vector<Entry> takes1;
  std::vector<Entry> discards1;
  for (std::size_t round = 0; round < rounds; ++round) {
    const int thrown = distinct_tiles ? kPool.at(round) : 15;
    const std::string code = std::to_string(thrown);
    takes0.emplace_back((code + code + "p" + code).c_str());  // from the seat after
    discards0.emplace_back(21);
    takes1.emplace_back(12);
    discards1.emplace_back(thrown);
  }
  return HandBuilder().seat_lists(0, takes0, discards0).seat_lists(1, takes1, discards1).seat(2, {"21p2121"}, {45});
}

HandBuilder cycling_hand() {
  return HandBuilder()
      .seat(0, {11, "1515p15", "1616p16"}, {21, 21, 21, 21})
      .seat(1, {12, 13}, {15, 16})
      .seat(2, {"21p2121"}, {45});
}

}  // namespace kiroku::testing
