// The simulator's only source of chance.  std::mt19937_64 is fully specified
// by the standard, and the derived draws below avoid the standard
// distributions (whose algorithms are left to each library), so one seed
// gives the same game with every compiler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace kiroku::sim {

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : engine_(seed) {}

  std::uint64_t next() { return engine_(); }

  // Uniform in [0, n); n > 0.  The modulo bias is below 2^-40 for the small
  // ranges used here.
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

  // True with probability p (p <= 0: never, p >= 1: always).
  bool chance(double p) { return static_cast<double>(next() >> 11) * 0x1.0p-53 < p; }

  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[below(items.size())];
  }

  template <class T>
  void shuffle(std::vector<T>& items) {
    for (std::size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[below(i)]);
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace kiroku::sim
