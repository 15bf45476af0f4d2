#include "target/time_and_random.h"

#include <cstdio>

namespace {

constexpr char kBase64UrlAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// Every character these formats produce is ASCII, so widening is a copy.
void widenDigits(const char* digits, Utf16Unit (&text)[kStableValueCapacity]) {
  size_t i = 0;
  for (; digits[i] != 0 && i + 1 < kStableValueCapacity; ++i) {
    text[i] = static_cast<Utf16Unit>(digits[i]);
  }
  text[i] = 0;
}

}  // namespace

void formatStartTime(int64_t fileTime, Utf16Unit (&text)[kStableValueCapacity]) {
  char digits[kStableValueCapacity];
  std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(fileTime));
  widenDigits(digits, text);
}

void formatMicroseconds(int64_t fileTime, Utf16Unit (&text)[kStableValueCapacity]) {
  const long microseconds = static_cast<long>((fileTime / 10) % 1000000);
  char digits[kStableValueCapacity];
  std::snprintf(digits, sizeof digits, "%06ld", microseconds);
  widenDigits(digits, text);
}

uint32_t randomSeedOf(uint64_t counter, uint64_t address, uint32_t processId) {
  const uint32_t seed = static_cast<uint32_t>(counter) ^ static_cast<uint32_t>(counter >> 32) ^
                        static_cast<uint32_t>(address) ^ static_cast<uint32_t>(address >> 32) ^
                        processId;
  return seed == 0 ? 1 : seed;
}

void makeRandomString(uint32_t seed, Utf16Unit (&text)[kStableValueCapacity]) {
  uint32_t state = seed == 0 ? 1 : seed;
  uint64_t bits = 0;  // the eight bytes, first byte most significant
  for (int step = 0; step < 8; ++step) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bits = (bits << 8) | (state & 0xFF);
  }
  // 64 bits make ten full sextets and a last one of four bits and two zeros.
  for (int i = 0; i < 11; ++i) {
    const int shift = 58 - 6 * i;
    const uint64_t sextet = shift >= 0 ? bits >> shift : bits << -shift;
    text[i] = static_cast<Utf16Unit>(kBase64UrlAlphabet[sextet & 0x3F]);
  }
  text[11] = 0;
}
