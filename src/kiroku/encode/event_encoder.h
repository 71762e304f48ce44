// Event -> compact JSON text: "type" first, members in the kind's fixed
// order, optional members left out, no whitespace.
#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kiroku/event.h"

namespace kiroku {

// An event could not be written (a tile outside the tile table, which the
// conversion never forms).
struct EncodeError {
  std::size_t event_index = 0;
};

// The text of one event, built in a buffer that starts with room for 128
// bytes and doubles when it runs out.
[[nodiscard]] std::expected<std::string, EncodeError> encode_event(const Event& event);

// The texts of a whole event list in one arena: each text followed by a line
// feed, so the arena is also the exact content of an output file.
class EncodedEvents {
 public:
  std::size_t size() const noexcept { return ends_.size(); }
  // Text i without its line feed.
  std::string_view text(std::size_t i) const noexcept {
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1] + 1;
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }
  // Every text with its line feed, in order.
  std::string_view lines() const noexcept { return bytes_; }

 private:
  friend std::expected<EncodedEvents, EncodeError> encode_events(std::span<const Event> events);
  std::string bytes_;
  std::vector<std::size_t> ends_;  // offset of each text's line feed
};

[[nodiscard]] std::expected<EncodedEvents, EncodeError> encode_events(std::span<const Event> events);

namespace detail {

// An upper bound of the text of `event`, with room to spare for the writer's
// fixed-size tile copies: the encoder reserves it before writing.
std::size_t max_text_size(const Event& event) noexcept;

}  // namespace detail

}  // namespace kiroku
