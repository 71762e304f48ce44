// Where the values of a JSON text begin and end, found without reading them.
// The JSON reader reads a log a member and a hand entry at a time, each as a
// document of its own, so that no index of the whole text is ever built:
// this finds where each one ends.  It checks nothing but what it must to
// find the end (strings, with their escapes, and brackets, counted rather
// than matched): a value cut in the wrong place is never valid JSON, and
// reading it says so.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kiroku::detail {

// What the outline finds when the text ends inside a value: inside a
// string, or inside a container but no string.
inline constexpr std::size_t kNoEnd = std::string_view::npos;
inline constexpr std::size_t kUnclosedString = kNoEnd - 1;

// Bit c is set for the JSON whitespace bytes: space, tab, LF and CR.
inline constexpr std::uint64_t kJsonSpaceMask =
    (std::uint64_t{1} << ' ') | (std::uint64_t{1} << '\t') | (std::uint64_t{1} << '\n') | (std::uint64_t{1} << '\r');

constexpr bool is_json_space(char c) noexcept {
  return static_cast<unsigned char>(c) <= ' ' && ((kJsonSpaceMask >> static_cast<unsigned char>(c)) & 1) != 0;
}

inline std::size_t skip_json_space(std::string_view text, std::size_t at) noexcept {
  while (at < text.size() && is_json_space(text[at])) ++at;
  return at;
}

// Just past the string whose opening quote is at `at`, or kNoEnd when the
// text ends inside it.
std::size_t json_string_end(std::string_view text, std::size_t at) noexcept;

// Where the first elements of a container that are containers themselves
// end, noted while the container's end is found: the hand list's entries,
// found once rather than twice.
struct ElementEnds {
  static constexpr std::size_t kCapacity = 64;  // more than any game's hands
  std::array<std::size_t, kCapacity> ends{};
  std::size_t count = 0;
};

// Just past the value that starts at `at` (not whitespace): a container to
// its last bracket, a string to its closing quote, anything else up to the
// next whitespace or punctuation.  kUnclosedString or kNoEnd when the text
// ends inside it.  `elements`, when given, gets the ends of the value's
// container elements, as many as it holds.
std::size_t json_value_end(std::string_view text, std::size_t at, ElementEnds* elements = nullptr) noexcept;

}  // namespace kiroku::detail
