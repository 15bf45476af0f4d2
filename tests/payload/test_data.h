// Generated contents for payload tests: deterministic, and compressible about
// as well as a typical application folder, so frames have several blocks of
// every kind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

inline std::string patternedBytes(size_t length, uint32_t seed) {
  std::string bytes(length, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < length; ++i) {
    state = state * 1103515245u + 12345u;
    // Runs of text-like bytes with the odd random one.
    const uint32_t r = state >> 16;
    bytes[i] = static_cast<char>((r & 7) == 0 ? r >> 3 : 'a' + (r >> 3) % 16);
  }
  return bytes;
}
