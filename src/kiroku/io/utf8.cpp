#include "kiroku/io/utf8.h"

#include <cstdint>
#include <cstring>  // memcpy

namespace kiroku {

namespace {

// Allowed range of the second byte for each lead byte of a multi-byte
// sequence (Unicode table 3-7); later continuation bytes are 80..BF.
struct LeadInfo {
  std::uint8_t length;
  std::uint8_t second_low;
  std::uint8_t second_high;
};

constexpr LeadInfo lead_info(std::uint8_t lead) noexcept {
  if (lead < 0x80) return {1, 0, 0};
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};  // 80..C1 and F5..FF never start a sequence
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::size_t utf8_sequence_length(std::string_view bytes, std::size_t& invalid_length) noexcept {
  const auto lead = static_cast<std::uint8_t>(bytes[0]);
  const LeadInfo info = lead_info(lead);
  if (info.length == 0) {
    invalid_length = 1;
    return 0;
  }
  std::size_t i = 1;
  for (; i < info.length; ++i) {
    if (i >= bytes.size()) break;
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    const std::uint8_t low = i == 1 ? info.second_low : 0x80;
    const std::uint8_t high = i == 1 ? info.second_high : 0xBF;
    if (b < low || b > high) break;
  }
  if (i == info.length) return info.length;
  invalid_length = i;
  return 0;
}

bool is_valid_utf8(std::string_view bytes) noexcept {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // Logs are mostly ASCII: test eight bytes at a time.
    if (bytes.size() - pos >= 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + pos, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        pos += 8;
        continue;
      }
    }
    std::size_t invalid = 0;
    const std::size_t length = utf8_sequence_length(bytes.substr(pos), invalid);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

std::string decode_utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t invalid = 0;
    const std::size_t length = utf8_sequence_length(bytes.substr(pos), invalid);
    if (length != 0) {
      out.append(bytes.substr(pos, length));
      pos += length;
    } else {
      out.append(kReplacement);
      pos += invalid;
    }
  }
  return out;
}

}  // namespace kiroku
