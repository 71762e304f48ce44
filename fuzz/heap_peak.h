// The most heap a stretch of code held at once beyond what was live when it
// began, from AddressSanitizer's allocator: the fuzz targets hold each
// conversion to a bound in proportion to its input, whatever the bytes.
#pragma once

#include <cstddef>

namespace kiroku::fuzz {

// Starts watching; the allocator calls a hook of ours at every allocation
// from then on.  Only one watch at a time.
void start_heap_watch();

// Bytes held at the watch's peak beyond those live at its start.
std::size_t heap_peak_since_start();

// A quarantine of freed buffers (AddressSanitizer holds them back to catch
// late uses) counts in the resident size as much as live ones; each target
// with a resident-memory limit keeps it to 1 MiB (its __asan_default_options
// returns this), so that the limit is a measure of what one input holds.
inline constexpr const char* kAsanOptions = "quarantine_size_mb=1";

}  // namespace kiroku::fuzz
