#include "cli/machine_memory.h"

#include <unistd.h>  // sysconf

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>
#include <string_view>

namespace kiroku::cli {
namespace {

// The number a limit file holds; none for "max", a missing or an unreadable
// file.
std::size_t limit_in(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  if (!std::getline(file, text)) return 0;
  std::size_t limit = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), limit);
  return error == std::errc() ? limit : 0;
}

// The lower of two limits, 0 meaning none.
std::size_t lower(std::size_t a, std::size_t b) noexcept { return a == 0 || (b != 0 && b < a) ? b : a; }

// The lowest limit of the group `group` (as /proc/self/cgroup names it) and
// the groups above it, under the hierarchy mounted at `root`.
std::size_t lowest_limit(const std::string& root, std::string group, const char* file) {
  std::size_t lowest = 0;
  for (;;) {
    lowest = lower(lowest, limit_in(root + group + "/" + file));
    if (group.empty() || group == "/") return lowest;
    group.resize(group.rfind('/'));
  }
}

// The control group limit, or 0 when there is none.
std::size_t cgroup_limit() {
  std::ifstream groups("/proc/self/cgroup");
  std::size_t lowest = 0;
  // Lines read "0::/path" (v2) or "4:memory:/path" (v1).
  for (std::string line; std::getline(groups, line);) {
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string_view controllers = std::string_view(line).substr(first + 1, second - first - 1);
    const std::string group = line.substr(second + 1);
    if (controllers.empty()) {
      lowest = lower(lowest, lowest_limit("/sys/fs/cgroup", group, "memory.max"));
    } else if (("," + std::string(controllers) + ",").find(",memory,") != std::string::npos) {
      lowest = lower(lowest, lowest_limit("/sys/fs/cgroup/memory", group, "memory.limit_in_bytes"));
    }
  }
  return lowest;
}

}  // namespace

std::size_t available_memory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGE_SIZE);
  const std::size_t memory = pages > 0 && page_size > 0
                                 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(page_size)
                                 : std::size_t{1} << 30;
  return lower(memory, cgroup_limit());
}

std::size_t default_memory_budget() { return std::max<std::size_t>(available_memory() / 2, 1); }

}  // namespace kiroku::cli
