// Writes a seat's discard list, pairing it with the take list as it goes.
#pragma once

#include <cstddef>
#include <span>
#include <variant>
#include <vector>

#include "kiroku/conv/entry_kinds.h"
#include "kiroku/conv/list_filler.h"
#include "kiroku/event.h"

namespace kiroku::conv {

// Matches each take with one step of the discard list as the steps are
// written: a draw with the discard, riichi or kan that follows it, a chi or
// pon with the discard after the call, a daiminkan with the placeholder the
// log writes in place of a discard.  A "dahai" of the drawn tile gets the
// tile of its draw; the placeholder is dropped.  A riichi declaration is
// part of the step of the "dahai" after it.  Once every take is matched,
// the remaining entries are written as they come.
//
// Pairing while writing, rather than in a pass over the finished list,
// reads each event once and never moves one to close the gap a dropped
// placeholder leaves.
class DiscardSteps {
 public:
  // `takes` must stay unchanged while the steps are written.
  DiscardSteps(std::span<const Event> takes, std::vector<Event>& discards) noexcept : takes_(takes), out_(discards) {}

  void reach(const event::Reach& reach) { out_.add<kReach>(reach); }

  void dahai(event::Dahai dahai) {
    if (const Event* take = next_take()) {
      if (dahai.tsumogiri) {
        if (const auto* tsumo = std::get_if<kTsumo>(take)) dahai.pai = tsumo->pai;
      } else if (dahai.pai.is_placeholder()) {
        return;  // the step of a daiminkan, which discards nothing
      }
    }
    out_.add<kDahai>(dahai);
  }

  // A "kakan" or an "ankan" (alternative `Kind`): a step of its own.
  template <std::size_t Kind, class Value>
  void kan(const Value& kan) {
    next_take();
    out_.add<Kind>(kan);
  }

 private:
  const Event* next_take() noexcept { return matched_ < takes_.size() ? &takes_[matched_++] : nullptr; }

  std::span<const Event> takes_;
  std::size_t matched_ = 0;  // takes matched with a step so far
  ListFiller out_;
};

}  // namespace kiroku::conv
