// Access to the process environment by ASCII variable names. Spec expansion
// reads and stores its variables through these; so does the launcher's
// environment protocol.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

// Widens a byte string one byte at a time with mbstowcs and appends the
// units behind the text already in `buffer`. Aborts unless every byte becomes
// exactly one unit, or when the result does not fit with its terminator.
void widenByteText(Utf16Unit* buffer, size_t capacity, const char* text);

// The process id as the environment protocol writes it: "%ld" digits, widened
// by the rule above into `buffer`, which it replaces.
constexpr size_t kProcessIdTextCapacity = 128;
void formatProcessId(uint32_t processId, Utf16Unit (&buffer)[kProcessIdTextCapacity]);

// Sets the variable, or removes it when `value` is null. Returns the
// platform's success flag, which callers may ignore.
bool setEnvironmentValue(const char* name, const Utf16Unit* value);

// A heap copy of the variable's value that the caller owns, or null when the
// variable is absent, empty or longer than 32767 units.
Utf16Unit* copyEnvironmentValue(const char* name);
