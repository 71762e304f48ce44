// The kinds a take or discard list holds, as Event indices, and the
// checks and copies the decoder and the walk make of every entry.
//
// A compare of index() is one load.  Copying an Event goes through the
// variant's table of copy functions, an indirect call; once the kind is
// known, the few bytes of that kind are copied directly.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "kiroku/event.h"

namespace kiroku::conv {

inline constexpr std::size_t kTsumo = 3;
inline constexpr std::size_t kDahai = 4;
inline constexpr std::size_t kChi = 5;
inline constexpr std::size_t kPon = 6;
inline constexpr std::size_t kDaiminkan = 7;
inline constexpr std::size_t kKakan = 8;
inline constexpr std::size_t kAnkan = 9;
inline constexpr std::size_t kReach = 11;

static_assert(std::is_same_v<std::variant_alternative_t<kTsumo, Event>, event::Tsumo>);
static_assert(std::is_same_v<std::variant_alternative_t<kDahai, Event>, event::Dahai>);
static_assert(std::is_same_v<std::variant_alternative_t<kChi, Event>, event::Chi>);
static_assert(std::is_same_v<std::variant_alternative_t<kPon, Event>, event::Pon>);
static_assert(std::is_same_v<std::variant_alternative_t<kDaiminkan, Event>, event::Daiminkan>);
static_assert(std::is_same_v<std::variant_alternative_t<kKakan, Event>, event::Kakan>);
static_assert(std::is_same_v<std::variant_alternative_t<kAnkan, Event>, event::Ankan>);
static_assert(std::is_same_v<std::variant_alternative_t<kReach, Event>, event::Reach>);

// A chi, pon or daiminkan: a take that claims a discard.
inline bool is_call(const Event& entry) noexcept {
  static_assert(kChi + 1 == kPon && kPon + 1 == kDaiminkan);
  return entry.index() - kChi <= kDaiminkan - kChi;  // unsigned: below kChi wraps around
}

// Appends a copy of `entry` to `events`, by its kind where it is a list
// kind (each of them a few plain bytes), through the variant's copy for
// anything else.
inline void append_entry(std::vector<Event>& events, const Event& entry) {
  switch (entry.index()) {
    case kTsumo: events.emplace_back(std::in_place_index<kTsumo>, *std::get_if<kTsumo>(&entry)); return;
    case kDahai: events.emplace_back(std::in_place_index<kDahai>, *std::get_if<kDahai>(&entry)); return;
    case kChi: events.emplace_back(std::in_place_index<kChi>, *std::get_if<kChi>(&entry)); return;
    case kPon: events.emplace_back(std::in_place_index<kPon>, *std::get_if<kPon>(&entry)); return;
    case kDaiminkan: events.emplace_back(std::in_place_index<kDaiminkan>, *std::get_if<kDaiminkan>(&entry)); return;
    case kKakan: events.emplace_back(std::in_place_index<kKakan>, *std::get_if<kKakan>(&entry)); return;
    case kAnkan: events.emplace_back(std::in_place_index<kAnkan>, *std::get_if<kAnkan>(&entry)); return;
    case kReach: events.emplace_back(std::in_place_index<kReach>, *std::get_if<kReach>(&entry)); return;
    default: events.push_back(entry); return;
  }
}

}  // namespace kiroku::conv
