#include "target/environment.h"

#include <cstdio>
#include <cstdlib>

#include "diag/report.h"

void widenByteText(Utf16Unit* buffer, size_t capacity, const char* text) {
  for (const char* p = text; *p != 0; ++p) {
    const char single[2] = {*p, 0};
    wchar_t converted[2] = {0, 0};
    if (std::mbstowcs(converted, single, 2) != 1) abortSilently();
    appendUnit(buffer, capacity, static_cast<Utf16Unit>(converted[0]));
  }
}

void formatProcessId(uint32_t processId, Utf16Unit (&buffer)[kProcessIdTextCapacity]) {
  char digits[kProcessIdTextCapacity];
  std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(processId));
  buffer[0] = 0;
  widenByteText(buffer, kProcessIdTextCapacity, digits);
}
