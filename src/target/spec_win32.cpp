#include <windows.h>

#include "base/silent_abort.h"
#include "target/spec.h"

PathBuffer targetDirectory;

void qualifyTargetDirectory() {
  static PathBuffer qualified;
  const DWORD length = GetFullPathNameW(
      /*lpFileName=*/reinterpret_cast<const wchar_t*>(targetDirectory),
      /*nBufferLength=*/kPathCapacity, /*lpBuffer=*/reinterpret_cast<wchar_t*>(qualified),
      /*lpFilePart=*/nullptr);
  if (length == 0 || length >= kPathCapacity) abortSilently();
  copyText(targetDirectory, kPathCapacity, qualified);
}
