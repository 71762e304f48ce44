#include "kiroku/read/json_outline.h"

#include <bit>
#include <cstdint>
#include <cstring>  // memchr, memcpy

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kiroku::detail {

namespace {

// A hand's lists are mostly digits and commas, with a bracket every ten to
// fifty bytes: the scan looks at a block at a time and stops only at the
// bytes a container's end depends on.  Bit i of a block's mask stands for
// its byte i; a set bit may be a false alarm, which the caller passes over.
#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;

unsigned structure_mask(const char* p) noexcept {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // '[' ']' '{' '}' are 0x5B 0x5D 0x7B 0x7D, all 0x59 under the mask 0xD9
  // (with only 'Y', '_', 'y' and DEL besides, never a UTF-8 byte).
  const __m128i bracket =
      _mm_cmpeq_epi8(_mm_and_si128(bytes, _mm_set1_epi8(static_cast<char>(0xD9))), _mm_set1_epi8(0x59));
  const __m128i quote = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(bracket, quote)));
}
#else
constexpr std::size_t kBlock = 8;

// Whether one of the eight bytes of `word` is `byte` (the usual SWAR test,
// as in "Bit Twiddling Hacks"); a block that holds one is looked at whole.
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
constexpr std::uint64_t has_byte(std::uint64_t word, unsigned char byte) noexcept {
  const std::uint64_t x = word ^ (kOnes * byte);
  return (x - kOnes) & ~x & kHighs;
}

unsigned structure_mask(const char* p) noexcept {
  std::uint64_t word = 0;
  std::memcpy(&word, p, 8);
  const bool holds = (has_byte(word, '"') | has_byte(word, '[') | has_byte(word, ']') | has_byte(word, '{') |
                      has_byte(word, '}')) != 0;
  return holds ? 0xFFU : 0U;
}
#endif

}  // namespace

std::size_t json_string_end(std::string_view text, std::size_t at) noexcept {
  for (std::size_t p = at + 1; p < text.size();) {
    const void* found = std::memchr(text.data() + p, '"', text.size() - p);
    if (found == nullptr) return kNoEnd;
    const auto quote = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    // Escaped when an odd number of backslashes stands before it.
    std::size_t backslashes = 0;
    while (quote - backslashes > at + 1 && text[quote - backslashes - 1] == '\\') ++backslashes;
    if (backslashes % 2 == 0) return quote + 1;
    p = quote + 1;
  }
  return kNoEnd;
}

std::size_t json_value_end(std::string_view text, std::size_t at, ElementEnds* elements) noexcept {
  const char first = text[at];
  if (first == '"') {
    const std::size_t end = json_string_end(text, at);
    return end == kNoEnd ? kUnclosedString : end;
  }
  if (first != '[' && first != '{') {
    std::size_t p = at;
    while (p < text.size() && !is_json_space(text[p]) && text[p] != ',' && text[p] != ']' && text[p] != '}' &&
           text[p] != ':' && text[p] != '"' && text[p] != '[' && text[p] != '{') {
      ++p;
    }
    return p;
  }
  std::size_t depth = 0;
  // Steps to the byte at `p`: past a string, or one level in or out.
  // Returns where the scan goes on (kNoEnd inside a string), and sets
  // `closed` when the value's last bracket is passed.
  const auto step = [&](std::size_t p, bool& closed) {
    switch (text[p]) {
      case '"': return json_string_end(text, p);
      case '[':
      case '{': ++depth; break;
      case ']':
      case '}':
        closed = --depth == 0;
        if (depth == 1 && elements != nullptr && elements->count < ElementEnds::kCapacity) {
          elements->ends[elements->count++] = p + 1;
        }
        break;
      default: break;
    }
    return p + 1;
  };
  std::size_t p = at;
  bool closed = false;
  while (p + kBlock <= text.size()) {
    const std::size_t block = p;
    std::size_t next = block + kBlock;
    for (unsigned mask = structure_mask(text.data() + block); mask != 0; mask &= mask - 1) {
      const std::size_t at_byte = block + static_cast<std::size_t>(std::countr_zero(mask));
      if (at_byte < p) continue;  // inside a string already passed
      p = step(at_byte, closed);
      if (p == kNoEnd) return kUnclosedString;
      if (closed) return p;
      if (p > next) {  // a string that runs past the block
        next = p;
        break;
      }
    }
    p = next;
  }
  while (p < text.size()) {
    p = step(p, closed);
    if (p == kNoEnd) return kUnclosedString;
    if (closed) return p;
  }
  return kNoEnd;
}

}  // namespace kiroku::detail
