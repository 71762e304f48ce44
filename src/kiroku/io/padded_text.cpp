#include "kiroku/io/padded_text.h"

#include <cstring>  // memcpy, memset

namespace kiroku {

PaddedText PaddedText::with_size(std::size_t size) {
  PaddedText text;
  text.bytes_ = std::make_unique_for_overwrite<char[]>(size + kPadding);
  text.size_ = size;
  // The slack is never part of the text, but zeroing it keeps its content
  // defined for the reader's over-reads.
  std::memset(text.bytes_.get() + size, 0, kPadding);
  return text;
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
