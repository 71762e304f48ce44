// Naming the mjai files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kiroku::cli {

// What outputs end with unless --suffix says: ".mjson", or ".mjson.gz" with
// `gzip`.
std::string default_output_suffix(bool gzip);

// The output's path below the output directory for an input found at
// `relative`: its log extension (".json", ".mjlog" or ".xml", each maybe
// with a compression's: ".gz", ".bz2", ".lz4", ".zst", ".xz") replaced by
// `suffix`; a name without one gets `suffix` appended.
std::filesystem::path output_relative_path(const std::filesystem::path& relative, std::string_view suffix);

}  // namespace kiroku::cli
