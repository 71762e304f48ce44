// An owned copy of a log text with readable slack bytes after its end, as
// the JSON reader needs for its vectorised scanning.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace kiroku {

class PaddedText {
 public:
  // Slack after the text; the reader checks it covers its JSON library's need.
  static constexpr std::size_t kPadding = 64;

  PaddedText() = default;

  // An uninitialised text of `size` bytes to be filled through data().
  static PaddedText with_size(std::size_t size);
  static PaddedText copy_of(std::string_view text);

  char* data() noexcept { return bytes_.get(); }
  const char* data() const noexcept { return bytes_.get(); }
  std::size_t size() const noexcept { return size_; }
  std::string_view view() const noexcept { return {bytes_.get(), size_}; }

  // Keeps the first `size` bytes (after a short read).  Precondition:
  // size <= this->size().
  void shrink(std::size_t size) noexcept { size_ = size; }

  // Drops the first `count` bytes, moving the rest to the front.
  // Precondition: count <= size().
  void drop_prefix(std::size_t count) noexcept;

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
};

}  // namespace kiroku
