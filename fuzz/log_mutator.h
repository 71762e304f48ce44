// Mutations of a Tenhou v6 log as a log: what a mistaken, truncated or
// hand-edited record could hold, one small change at a time, so that most
// mutants still read and the converter's walk, its retries and its search
// get to work on them rather than the JSON parser refusing them.
#pragma once

#include <cstddef>
#include <random>

#include "json_tree.h"

namespace kiroku::fuzz {

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}

  // Uniform in [0, n); 0 when n is 0.
  std::size_t below(std::size_t n) {
    if (n == 0) return 0;
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(engine_);
  }
  bool percent(unsigned chance) { return below(100) < chance; }
  template <typename T, std::size_t N>
  const T& pick(const T (&values)[N]) {
    return values[below(N)];
  }

 private:
  std::mt19937 engine_;
};

// Applies one to four mutations to `document`.  False, and nothing changed,
// when it is not a log (an object whose "log" is an array).
bool mutate_log(Json& document, Random& random);

// Moves part of `donor` into `document`: a hand, one seat's three lists, a
// result list, or the donor's later hands after the document's earlier ones.
// False, and nothing changed, unless both are logs with a hand.
bool cross_over_logs(Json& document, const Json& donor, Random& random);

}  // namespace kiroku::fuzz
