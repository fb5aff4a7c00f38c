#pragma once

#include <cstdint>
#include <random>

namespace vantrel::sim {

// The standard distributions differ between library versions; doing the range
// mapping ourselves keeps a seeded run byte-for-byte repeatable everywhere.
class SimRandom {
 public:
  explicit SimRandom(std::uint64_t seed) : FEngine(seed) {}

  /// Uniform integer in [lo, hi] (inclusive); lo > hi gives lo.
  int Between(int lo, int hi) {
    if (hi <= lo) return lo;
    const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo + 1);
    return static_cast<int>(lo + static_cast<std::int64_t>(FEngine() % span));
  }

  /// True with the probability percent / 100.
  bool Chance(int percent) { return Between(0, 99) < percent; }

  std::uint8_t Byte() { return static_cast<std::uint8_t>(FEngine() & 0xFFu); }

 private:
  std::mt19937_64 FEngine;
};

}  // namespace vantrel::sim
