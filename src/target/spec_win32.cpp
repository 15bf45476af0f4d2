#include <windows.h>

#include "diag/report.h"
#include "target/spec.h"

PathBuffer targetDirectory;

// Placeholder expansion arrives with the target-directory work; until then a
// spec expands to its literal characters.
bool expandSpec(Unit* output, const Unit* spec, uint64_t capacity) {
  output[0] = 0;
  for (const Unit* p = spec; *p != 0; ++p) {
    if (*p == u'{' || *p == u'}') return false;
    if (unitLength(output) + 1 >= capacity) return false;
    appendUnit(output, capacity, *p);
  }
  return true;
}

void qualifyTargetDirectory() {
  static PathBuffer qualified;
  const DWORD length =
      GetFullPathNameW(reinterpret_cast<const wchar_t*>(targetDirectory), kPathCapacity,
                       reinterpret_cast<wchar_t*>(qualified), nullptr);
  if (length == 0 || length >= kPathCapacity) abortSilently();
  copyText(targetDirectory, kPathCapacity, qualified);
}
