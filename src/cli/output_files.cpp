#include "cli/output_files.h"

#include <string>

#include "cli/input_files.h"

namespace kiroku::cli {

std::string default_output_suffix(OutputForm form, bool gzip) {
  std::string suffix = form == OutputForm::Mjai ? ".mjson" : ".json";
  if (gzip) suffix += ".gz";
  return suffix;
}

std::filesystem::path output_relative_path(const std::filesystem::path& relative, std::string_view suffix) {
  std::string name = relative.filename().native();
  name.resize(name.size() - log_extension_size(name));
  name += suffix;
  return relative.parent_path() / name;
}

}  // namespace kiroku::cli
