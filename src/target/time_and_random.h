// The values behind {TIME}, {TIME_US} and {RANDOM}. They are made once per
// process tree and then kept in the environment, so these only turn a clock
// reading or a seed into text.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

// Room for the longest of the three texts with its terminator.
constexpr size_t kStableValueCapacity = 32;

// A FILETIME (100-nanosecond intervals since 1601, UTC) in plain decimal.
void formatStartTime(int64_t fileTime, Utf16Unit (&text)[kStableValueCapacity]);

// The microseconds within the second of a FILETIME, always six digits.
void formatMicroseconds(int64_t fileTime, Utf16Unit (&text)[kStableValueCapacity]);

// Folds a performance-counter reading, the address it was read into and the
// process id into a seed; never 0, which the generator could not leave.
uint32_t randomSeedOf(uint64_t counter, uint64_t address, uint32_t processId);

// Eight xorshift32 steps from `seed` (0 counts as 1), the low byte of each,
// as 11 base64url characters without padding. Seed 1 gives IQHFT9HQGrI.
void makeRandomString(uint32_t seed, Utf16Unit (&text)[kStableValueCapacity]);
