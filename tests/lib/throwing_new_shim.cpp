// Preloaded (LD_PRELOAD) into a child interpreter by the module's tests:
// once KIROKU_THROW_FROM_NEW is set, the next operator new throws a
// std::logic_error, as a broken invariant inside the module would.  Only
// the first one throws, so that the exception's own text can be made.
#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace {
std::atomic<bool> thrown{false};
}

__attribute__((visibility("default"))) void* operator new(std::size_t size) {
  if (std::getenv("KIROKU_THROW_FROM_NEW") != nullptr && !thrown.exchange(true)) {
    throw std::logic_error("broken invariant (test)");
  }
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}

__attribute__((visibility("default"))) void* operator new[](std::size_t size) { return operator new(size); }
__attribute__((visibility("default"))) void operator delete(void* memory) noexcept { std::free(memory); }
__attribute__((visibility("default"))) void operator delete[](void* memory) noexcept { std::free(memory); }
__attribute__((visibility("default"))) void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
__attribute__((visibility("default"))) void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
