#include "cli/output_files.h"

#include <string>

#include "cli/input_files.h"

namespace kiroku::cli {

std::filesystem::path output_relative_path(const std::filesystem::path& relative, bool gzip) {
  std::string name = relative.filename().native();
  name.resize(name.size() - log_extension_size(name));
  name += gzip ? ".mjson.gz" : ".mjson";
  return relative.parent_path() / name;
}

}  // namespace kiroku::cli
