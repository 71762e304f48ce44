// An owned copy of a log text with readable slack bytes after its end, as
// the JSON reader needs for its vectorised scanning.
#pragma once

#include <cstddef>
#include <cstdlib>  // free
#include <memory>
#include <string_view>

namespace kiroku {

class PaddedText {
 public:
  // Slack after the text; the reader checks it covers its JSON library's need.
  static constexpr std::size_t kPadding = 64;

  PaddedText() = default;

  // An uninitialised text of `size` bytes to be filled through data().
  // Throws std::bad_alloc.
  static PaddedText with_size(std::size_t size);
  static PaddedText copy_of(std::string_view text);

  char* data() noexcept { return bytes_.get(); }
  const char* data() const noexcept { return bytes_.get(); }
  std::size_t size() const noexcept { return size_; }
  std::string_view view() const noexcept { return {bytes_.get(), size_}; }

  // Keeps the first `size` bytes (after a short read) in the same buffer.
  // Precondition: size <= this->size().
  void shrink(std::size_t size) noexcept { size_ = size; }

  // A text of `size` bytes that starts with the first min(size, size())
  // bytes of this one; the rest is uninitialised, the slack zeroed.  Through
  // realloc, which moves a large buffer by remapping its pages rather than
  // copying them, so that growing a text never holds it twice.  Throws
  // std::bad_alloc, leaving the text as it was.
  void resize(std::size_t size);

  // Drops the first `count` bytes, moving the rest to the front.
  // Precondition: count <= size().
  void drop_prefix(std::size_t count) noexcept;

 private:
  struct Free {
    void operator()(char* bytes) const noexcept { std::free(bytes); }
  };

  std::unique_ptr<char, Free> bytes_;  // from malloc, for realloc
  std::size_t size_ = 0;
};

}  // namespace kiroku
