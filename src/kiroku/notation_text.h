// A string entry of a take or discard list, as the log writes it: call
// notation ("c275226", "3434p34", "r21") or anything else a log may hold
// there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kiroku {

// A log holds tens of entries per hand and a string entry is rare, so an
// entry must stay small: this type is one byte aligned and 15 bytes long,
// which keeps a take or discard (the variant of a tile, a number and this)
// at 16 bytes.  Every valid notation fits inline; a longer text, which the
// converter can only refuse, lives on the heap so that its diagnostic can
// quote it whole.
class NotationText {
 public:
  NotationText() noexcept = default;
  // Implicit, as std::string's own: a notation is a string to its users.
  NotationText(std::string_view text);
  NotationText(const std::string& text) : NotationText(std::string_view(text)) {}
  NotationText(const char* text) : NotationText(std::string_view(text)) {}
  NotationText(const NotationText& other) : NotationText(other.view()) {}
  NotationText(NotationText&& other) noexcept : bytes_(other.bytes_), size_(other.size_) { other.size_ = 0; }
  NotationText& operator=(const NotationText& other);
  NotationText& operator=(NotationText&& other) noexcept;
  ~NotationText() { release(); }

  std::string_view view() const noexcept;

  friend bool operator==(const NotationText& a, const NotationText& b) noexcept { return a.view() == b.view(); }

 private:
  static constexpr std::size_t kInlineCapacity = 14;
  static constexpr std::uint8_t kOnHeap = 0xff;

  // The heap block of a long text: its size, then its bytes.
  const char* heap_block() const noexcept;
  void release() noexcept;

  // The text's bytes, or (size_ == kOnHeap) the heap block's address, copied
  // in and out bytewise so that the type stays one byte aligned.
  std::array<char, kInlineCapacity> bytes_{};
  std::uint8_t size_ = 0;
};

static_assert(sizeof(NotationText) == 15 && alignof(NotationText) == 1);

}  // namespace kiroku
