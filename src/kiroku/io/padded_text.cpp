#include "kiroku/io/padded_text.h"

#include <cstdint>  // SIZE_MAX
#include <cstring>  // memcpy, memmove, memset
#include <new>

namespace kiroku {

PaddedText PaddedText::with_size(std::size_t size) {
  PaddedText text;
  text.resize(size);
  return text;
}

void PaddedText::resize(std::size_t size) {
  if (size > SIZE_MAX - kPadding) throw std::bad_alloc();
  void* bytes = std::realloc(bytes_.get(), size + kPadding);
  if (bytes == nullptr) throw std::bad_alloc();
  static_cast<void>(bytes_.release());  // realloc has freed or kept it
  bytes_.reset(static_cast<char*>(bytes));
  size_ = size;
  // The slack is never part of the text, but zeroing it keeps its content
  // defined for the reader's over-reads.
  std::memset(bytes_.get() + size, 0, kPadding);
}

void PaddedText::drop_prefix(std::size_t count) noexcept {
  if (count == 0) return;
  std::memmove(bytes_.get(), bytes_.get() + count, size_ - count);
  size_ -= count;
  // The slack behind the text stays zero, as the readers expect.
  std::memset(bytes_.get() + size_, 0, count);
}

PaddedText PaddedText::copy_of(std::string_view source) {
  PaddedText text = with_size(source.size());
  if (!source.empty()) std::memcpy(text.data(), source.data(), source.size());
  return text;
}

}  // namespace kiroku
