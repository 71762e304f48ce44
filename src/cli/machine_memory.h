// How much memory this machine gives the process, for the default budget.
#pragma once

#include <cstddef>

namespace kiroku::cli {

// The physical memory, or the memory limit of the process's control group
// (cgroup v2 memory.max, v1 memory.limit_in_bytes, of its group or of any
// group above it) when that is lower.
std::size_t available_memory();

// Half of it: the rest stays for the system, the page cache of the files
// being read and written, and whatever else runs beside the tool.
std::size_t default_memory_budget();

}  // namespace kiroku::cli
