// Refills an event list whose buffer is reused from hand to hand.
#pragma once

#include <cstddef>
#include <utility>
#include <variant>
#include <vector>

#include "kiroku/event.h"

namespace kiroku::conv {

// Writes events from the start of `list` over the ones it already holds,
// and on destruction drops whatever was not written over.  Clearing the list
// first would destroy every old event through the variant's table of
// destructors, an indirect call each, though the list kinds have nothing to
// destroy; an event written over one of the same kind is a plain copy of a
// few bytes, and most slots hold the same kind from one hand to the next.
class ListFiller {
 public:
  explicit ListFiller(std::vector<Event>& list) noexcept : list_(list), old_size_(list.size()) {}
  ListFiller(const ListFiller&) = delete;
  ListFiller& operator=(const ListFiller&) = delete;
  ~ListFiller() { finish(); }

  // Appends an event of alternative `Kind`.
  template <std::size_t Kind, class Value>
  void add(const Value& value) {
    if (filled_ >= old_size_) {
      list_.emplace_back(std::in_place_index<Kind>, value);
    } else if (Event& slot = list_[filled_]; slot.index() == Kind) {
      *std::get_if<Kind>(&slot) = value;
    } else {
      slot.emplace<Kind>(value);
    }
    ++filled_;
  }

  // Appends a copy of `event`, whatever its kind, through the variant's
  // own copy.
  void add(const Event& event) {
    if (filled_ >= old_size_) {
      list_.push_back(event);
    } else {
      list_[filled_] = event;
    }
    ++filled_;
  }

  // Cuts the list to the events added so far; later adds append again.
  void finish() {
    if (filled_ < old_size_) list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(filled_), list_.end());
    old_size_ = filled_;
  }

 private:
  std::vector<Event>& list_;
  // Counts kept here rather than asked of the list at every add: size() is a
  // division by sizeof(Event).
  std::size_t old_size_;    // events of the last fill; below it, slots are written over
  std::size_t filled_ = 0;  // events added
};

}  // namespace kiroku::conv
