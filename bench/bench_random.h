// splitmix64: fast, deterministic everywhere, and good enough that zstd finds
// nothing to predict in its output.
#pragma once
#include <cstdint>

struct BenchRandom {
  uint64_t state;

  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, bound).
  uint32_t below(uint32_t bound) { return static_cast<uint32_t>((next() >> 32) * bound >> 32); }
  // Uniform in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
};
