// The keys of the records, in declaration order (the array form's order),
// and small lexical tests.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kiroku::detail {

inline constexpr std::array<std::string_view, 8> kJsonLogKeys = {"log",   "name", "rule", "ratingc",
                                                                 "lobby", "dan",  "rate", "sx"};
// Members of the object form only, kept to be written back.
inline constexpr std::array<std::string_view, 3> kWrittenBackKeys = {"sc", "connection", "ref"};
inline constexpr std::array<std::string_view, 4> kConnectionKeys = {"what", "log", "who", "step"};
inline constexpr std::array<std::string_view, 5> kRuleKeys = {"disp", "aka", "aka51", "aka52", "aka53"};

template <std::size_t N>
constexpr int key_index(const std::array<std::string_view, N>& keys, std::string_view key) {
  for (std::size_t i = 0; i < N; ++i) {
    if (keys[i] == key) return static_cast<int>(i);
  }
  return -1;
}

inline constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

inline constexpr bool is_hex_digit(char c) noexcept {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace kiroku::detail
