// Loading the benchmarks' logs: whole files, and the files of a folder in a
// fixed order so that every run times the same sequence.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kiroku::bench {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The paths of the files in `dir` whose extension is `extension`, sorted;
// none when `dir` is absent.
inline std::vector<std::filesystem::path> files_in(const std::filesystem::path& dir, const std::string& extension) {
  std::vector<std::filesystem::path> paths;
  if (!std::filesystem::is_directory(dir)) return paths;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == extension) paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace kiroku::bench
