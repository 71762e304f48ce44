// Naming the mjai files.
#pragma once

#include <filesystem>

namespace kiroku::cli {

// The output's path below the output directory for an input found at
// `relative`: ".json", ".mjlog" or ".xml", each maybe followed by ".gz",
// replaced by ".mjson" (".mjson.gz" with `gzip`); a name without any of them
// gets the extension appended.
std::filesystem::path output_relative_path(const std::filesystem::path& relative, bool gzip);

}  // namespace kiroku::cli
