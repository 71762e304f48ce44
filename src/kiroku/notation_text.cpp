#include "kiroku/notation_text.h"

#include <cstring>
#include <utility>

namespace kiroku {

NotationText::NotationText(std::string_view text) {
  if (text.size() <= kInlineCapacity) {
    std::memcpy(bytes_.data(), text.data(), text.size());
    size_ = static_cast<std::uint8_t>(text.size());
    return;
  }
  char* block = new char[sizeof(std::size_t) + text.size()];
  const std::size_t size = text.size();
  std::memcpy(block, &size, sizeof size);
  std::memcpy(block + sizeof size, text.data(), size);
  std::memcpy(bytes_.data(), &block, sizeof block);
  size_ = kOnHeap;
}

NotationText& NotationText::operator=(const NotationText& other) {
  if (this != &other) *this = NotationText(other.view());
  return *this;
}

NotationText& NotationText::operator=(NotationText&& other) noexcept {
  if (this != &other) {
    release();
    bytes_ = other.bytes_;
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

const char* NotationText::heap_block() const noexcept {
  const char* block = nullptr;
  std::memcpy(&block, bytes_.data(), sizeof block);
  return block;
}

void NotationText::release() noexcept {
  if (size_ == kOnHeap) delete[] heap_block();
  size_ = 0;
}

std::string_view NotationText::view() const noexcept {
  if (size_ != kOnHeap) return {bytes_.data(), size_};
  const char* block = heap_block();
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  return {block + sizeof size, size};
}

}  // namespace kiroku
