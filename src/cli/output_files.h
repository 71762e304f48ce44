// Naming the mjai files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace kiroku::cli {

// What outputs end with unless --suffix says: ".mjson" for mjai events,
// ".json" for Tenhou's JSON log, each + ".gz" with `gzip`.
std::string default_output_suffix(OutputForm form, bool gzip);

// The output's path below the output directory for an input found at
// `relative`: its log extension (".json", ".mjlog" or ".xml", each maybe
// with a compression's: ".gz", ".bz2", ".lz4", ".zst", ".xz") replaced by
// `suffix`; a name without one gets `suffix` appended.
std::filesystem::path output_relative_path(const std::filesystem::path& relative, std::string_view suffix);

}  // namespace kiroku::cli
