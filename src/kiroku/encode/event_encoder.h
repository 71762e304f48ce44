// Event -> compact JSON text: "type" first, members in the kind's fixed
// order, optional members left out, no whitespace.  Every event of the model
// can be written: its tiles come from the tile table and its texts are
// escaped, so encoding cannot fail but for memory (std::bad_alloc).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kiroku/event.h"

namespace kiroku {

// The text of one event.
[[nodiscard]] std::string encode_event(const Event& event);

// The texts of a game's events in one arena, each followed by a line feed, so
// that the arena is also the exact content of an output file.  Events are
// appended a hand at a time, so a game's events never need to be held whole.
class EncodedEvents {
 public:
  EncodedEvents() = default;
  // A moved-from arena is empty.
  EncodedEvents(EncodedEvents&& other) noexcept
      : bytes_(std::move(other.bytes_)),
        used_(std::exchange(other.used_, 0)),
        capacity_(std::exchange(other.capacity_, 0)),
        count_(std::exchange(other.count_, 0)) {}
  EncodedEvents& operator=(EncodedEvents&& other) noexcept {
    bytes_ = std::move(other.bytes_);
    used_ = std::exchange(other.used_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    count_ = std::exchange(other.count_, 0);
    return *this;
  }

  // Appends the texts of `events`.  Throws std::bad_alloc when the arena
  // cannot grow.
  void append(std::span<const Event> events);
  // Appends `count` texts already encoded: `lines` as lines() gives them.
  void append_texts(std::string_view lines, std::size_t count);

  // Forgets every text, keeping the room they took.
  void clear() noexcept {
    used_ = 0;
    count_ = 0;
  }

  // The number of texts.
  std::size_t size() const noexcept { return count_; }
  // Every text with its line feed, in order.
  std::string_view lines() const noexcept { return {bytes_.get(), used_}; }

  // The texts in order, each without its line feed (a text never holds a
  // raw line feed: control characters are escaped).
  class TextIterator {
   public:
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    TextIterator() = default;
    explicit TextIterator(std::string_view lines) noexcept : rest_(lines) { find_text(); }
    std::string_view operator*() const noexcept { return rest_.substr(0, text_size_); }
    TextIterator& operator++() noexcept {
      rest_.remove_prefix(text_size_ + 1);
      find_text();
      return *this;
    }
    TextIterator operator++(int) noexcept {
      TextIterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const TextIterator& other) const noexcept { return rest_.data() == other.rest_.data(); }

   private:
    void find_text() noexcept { text_size_ = rest_.empty() ? 0 : rest_.find('\n'); }

    std::string_view rest_;  // the current text, then the ones after it
    std::size_t text_size_ = 0;
  };
  TextIterator begin() const noexcept { return TextIterator(lines()); }
  TextIterator end() const noexcept { return TextIterator(lines().substr(used_)); }

 private:
  // Grown with realloc, which moves a large block by remapping its pages
  // rather than copying them: growing a game's arena never holds two copies.
  struct Free {
    void operator()(char* bytes) const noexcept { std::free(bytes); }
  };
  void reserve_more(std::size_t extra);

  std::unique_ptr<char, Free> bytes_;
  std::size_t used_ = 0;
  std::size_t capacity_ = 0;
  std::size_t count_ = 0;
};

// The texts of a whole event list.
[[nodiscard]] EncodedEvents encode_events(std::span<const Event> events);

namespace detail {

// An upper bound of the text of `event`, with room to spare for the writer's
// fixed-size tile copies: the encoder reserves it before writing.
std::size_t max_text_size(const Event& event) noexcept;

}  // namespace detail

}  // namespace kiroku
