// One log, or one command-line input, that could not be converted or was
// passed over.
#pragma once

#include <string>

namespace kiroku::cli {

struct Failure {
  std::string file;        // as the user named it, or as found in a directory; raw bytes
  std::string diagnostic;  // "convert: hand 5 (honba 1), seat 2: ..."
};

}  // namespace kiroku::cli
