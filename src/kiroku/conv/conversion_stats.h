// How hard a game's hands were to put in order; for diagnostics only.
#pragma once

#include <cstddef>

namespace kiroku::conv {

// Counts the hands walked, up to and including a hand that failed.
struct ConversionStats {
  std::size_t hands = 0;           // converted
  std::size_t hands_retried = 0;   // needed more than one attempt
  std::size_t hands_searched = 0;  // needed the search past the retry rule
};

}  // namespace kiroku::conv
