#include "kiroku/conv/call_resolution.h"

#include <gtest/gtest.h>

#include "hand_builder.h"

namespace kiroku::conv {
namespace {

using testing::tile;

const Tile k5p = tile(25);
const Tile k6p = tile(26);

ListEntry pon(event::Seat target, Tile pai) {
  return ListEntry{.kind = ListEntry::Kind::Pon, .pai = pai, .consumed = {pai, pai}, .target = target};
}
ListEntry chi(event::Seat actor, Tile pai) {
  return ListEntry{.kind = ListEntry::Kind::Chi,
                   .pai = pai,
                   .consumed = {tile(24), tile(26)},
                   .target = static_cast<event::Seat>((actor + 3) % 4)};
}
ListEntry daiminkan(event::Seat target, Tile pai) {
  return ListEntry{.kind = ListEntry::Kind::Daiminkan, .pai = pai, .consumed = {pai, pai, pai}, .target = target};
}
ListEntry tsumo() { return ListEntry{.kind = ListEntry::Kind::Tsumo, .pai = tile(11)}; }

// A discard of `last` by `discarder` with the given next take entries.  By
// default it is the discarder's last 5p, so nothing is ambiguous.
struct Situation {
  CallSituation value;
  std::array<ListEntry, 4> takes{tsumo(), tsumo(), tsumo(), tsumo()};

  Situation(event::Seat discarder, Tile last) {
    value.discarder = discarder;
    value.last_tile = last;
    value.discards_left = true;
    value.same_tile_left = 0;
    for (std::size_t s = 0; s < 4; ++s) value.next_takes[s] = &takes[s];
  }
  Situation& next_take(event::Seat seat, ListEntry entry) {
    takes[seat] = entry;
    return *this;
  }
  Situation& no_take_left(event::Seat seat) {
    value.next_takes[seat] = nullptr;
    return *this;
  }
  Situation& same_tile_to_come(std::int32_t count, bool discards_left = true) {
    value.same_tile_left = count;
    value.discards_left = discards_left;
    return *this;
  }
};

// Records the questions asked; answers as told.
class Recorder final : public CallAnswers {
 public:
  explicit Recorder(bool answer) : answer_(answer) {}
  bool call_now(Tile tile, bool either_way) override {
    asked.push_back({tile, either_way});
    return answer_;
  }
  std::vector<std::pair<Tile, bool>> asked;

 private:
  bool answer_;
};

event::Seat resolve(const Situation& situation, CallAnswers& answers) {
  return resolve_caller(situation.value, answers);
}

TEST(call_resolution_test, pon_outranks_chi) {
  Recorder answers(true);
  Situation s(2, k5p);
  s.next_take(3, chi(3, k5p)).next_take(0, pon(2, k5p));
  EXPECT_EQ(resolve(s, answers), 0);
  EXPECT_TRUE(answers.asked.empty());
}

TEST(call_resolution_test, chi_outranks_daiminkan) {
  Recorder answers(true);
  Situation s(2, k5p);
  s.next_take(3, chi(3, k5p)).next_take(1, daiminkan(2, k5p));
  EXPECT_EQ(resolve(s, answers), 3);
}

TEST(call_resolution_test, daiminkan_alone_is_made) {
  Recorder answers(true);
  Situation s(2, k5p);
  s.next_take(0, daiminkan(2, k5p));
  EXPECT_EQ(resolve(s, answers), 0);
}

TEST(call_resolution_test, higher_seat_wins_a_tie) {
  Recorder answers(true);
  Situation s(0, k5p);
  s.next_take(1, pon(0, k5p)).next_take(3, pon(0, k5p));
  EXPECT_EQ(resolve(s, answers), 3);
  Situation kans(0, k5p);
  kans.next_take(1, daiminkan(0, k5p)).next_take(2, daiminkan(0, k5p));
  EXPECT_EQ(resolve(kans, answers), 2);
}

TEST(call_resolution_test, call_of_another_tile_or_seat_is_no_candidate) {
  Recorder answers(true);
  Situation other_tile(2, k6p);
  other_tile.next_take(0, pon(2, k5p));
  EXPECT_EQ(resolve(other_tile, answers), 3);
  Situation other_seat(2, k5p);
  other_seat.next_take(0, pon(1, k5p));
  EXPECT_EQ(resolve(other_seat, answers), 3);
  // The discarder's own next take is never looked at.
  Situation own(2, k5p);
  own.next_take(2, pon(2, k5p));
  EXPECT_EQ(resolve(own, answers), 3);
  // Nor is a seat whose take list is read.
  Situation read(2, k5p);
  read.next_take(0, pon(2, k5p)).no_take_left(0);
  EXPECT_EQ(resolve(read, answers), 3);
  EXPECT_TRUE(answers.asked.empty());
}

TEST(call_resolution_test, last_discard_of_the_tile_is_called_at_once) {
  Recorder answers(false);
  Situation s(2, k5p);
  s.next_take(0, pon(2, k5p)).same_tile_to_come(0);
  EXPECT_EQ(resolve(s, answers), 0);
  EXPECT_TRUE(answers.asked.empty());
}

TEST(call_resolution_test, last_discard_entry_is_never_ambiguous) {
  // Counts aside, a seat with nothing left to discard throws no more 5p.
  Recorder answers(false);
  Situation s(2, k5p);
  s.next_take(0, pon(2, k5p)).same_tile_to_come(1, false);
  EXPECT_EQ(resolve(s, answers), 0);
  EXPECT_TRUE(answers.asked.empty());
}

TEST(call_resolution_test, ambiguous_call_is_answered) {
  Situation s(1, k5p);
  s.next_take(3, pon(1, k5p)).same_tile_to_come(1);
  Recorder now(true);
  EXPECT_EQ(resolve(s, now), 3);
  ASSERT_EQ(now.asked.size(), 1U);
  EXPECT_EQ(now.asked[0], std::make_pair(k5p, false));
  Recorder later(false);
  EXPECT_EQ(resolve(s, later), 2);
}

TEST(call_resolution_test, ambiguous_call_by_the_next_seat_is_moot) {
  Situation s(1, k5p);
  s.next_take(2, chi(2, k5p)).same_tile_to_come(2);
  Recorder later(false);
  EXPECT_EQ(resolve(s, later), 2);
  ASSERT_EQ(later.asked.size(), 1U);
  EXPECT_TRUE(later.asked[0].second);
}

TEST(call_resolution_test, memory_cycles_through_three_answers_per_tile) {
  Situation s(1, k5p);
  s.next_take(3, pon(1, k5p)).same_tile_to_come(1);
  CallMemory memory;
  EXPECT_TRUE(memory.empty());
  EXPECT_EQ(resolve(s, memory), 3);  // absent -> taken: call now
  EXPECT_EQ(memory.cell(k5p), CallMemory::Cell::Taken);
  EXPECT_FALSE(memory.empty());
  EXPECT_EQ(resolve(s, memory), 2);  // taken -> skipped: later
  EXPECT_EQ(memory.cell(k5p), CallMemory::Cell::Skipped);
  EXPECT_EQ(resolve(s, memory), 2);  // skipped -> absent: later
  EXPECT_TRUE(memory.empty());
  EXPECT_EQ(resolve(s, memory), 3);  // and round again
  EXPECT_EQ(memory.choices(), 4U);
}

TEST(call_resolution_test, memory_is_shared_by_all_seats_and_kept_per_tile) {
  CallMemory memory;
  Situation first(1, k5p);
  first.next_take(3, pon(1, k5p)).same_tile_to_come(1);
  Situation other_seats(0, k5p);
  other_seats.next_take(2, pon(0, k5p)).same_tile_to_come(3);
  Situation other_tile(1, k6p);
  other_tile.next_take(3, pon(1, k6p)).same_tile_to_come(1);
  EXPECT_EQ(resolve(first, memory), 3);
  EXPECT_EQ(resolve(other_tile, memory), 3);   // 6p has its own cell
  EXPECT_EQ(resolve(other_seats, memory), 1);  // 5p was taken: now skipped
  EXPECT_EQ(memory.cell(k5p), CallMemory::Cell::Skipped);
  EXPECT_EQ(memory.cell(k6p), CallMemory::Cell::Taken);
}

TEST(call_resolution_test, moot_calls_still_move_the_memory) {
  Situation s(1, k5p);
  s.next_take(2, chi(2, k5p)).same_tile_to_come(1);
  CallMemory memory;
  EXPECT_EQ(resolve(s, memory), 2);
  EXPECT_EQ(memory.cell(k5p), CallMemory::Cell::Taken);
  EXPECT_EQ(memory.choices(), 0U);
}

TEST(call_resolution_test, memory_key_tells_every_cell_apart) {
  // Walk each tile's cell through its states; every state of one cell, with
  // the others absent, has its own key.
  std::vector<CallMemory::Key> keys;
  for (std::uint8_t index = 0; index < Tile::kCount; ++index) {
    const Tile t = *Tile::from_index(index);
    Situation s(1, t);
    s.next_take(3, pon(1, t)).same_tile_to_come(1);
    CallMemory memory;
    resolve(s, memory);
    keys.push_back(memory.key());
    resolve(s, memory);
    keys.push_back(memory.key());
    resolve(s, memory);
    EXPECT_EQ(memory.key(), CallMemory::Key{});
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_NE(keys[i], CallMemory::Key{});
    for (std::size_t j = i + 1; j < keys.size(); ++j) EXPECT_NE(keys[i], keys[j]) << i << " " << j;
  }
}

}  // namespace
}  // namespace kiroku::conv
