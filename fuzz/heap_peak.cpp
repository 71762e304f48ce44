#include "heap_peak.h"

#include <sanitizer/allocator_interface.h>

#include <algorithm>

namespace kiroku::fuzz {
namespace {

// What the hook sees; the targets run one input at a time, on one thread.
std::size_t watch_start = 0;
std::size_t watch_peak = 0;

void on_allocation(const volatile void*, std::size_t) {
  watch_peak = std::max(watch_peak, __sanitizer_get_current_allocated_bytes());
}

void on_free(const volatile void*) {}

}  // namespace

void start_heap_watch() {
  [[maybe_unused]] static const int installed = __sanitizer_install_malloc_and_free_hooks(on_allocation, on_free);
  watch_start = __sanitizer_get_current_allocated_bytes();
  watch_peak = watch_start;
}

std::size_t heap_peak_since_start() { return watch_peak - std::min(watch_peak, watch_start); }

}  // namespace kiroku::fuzz
