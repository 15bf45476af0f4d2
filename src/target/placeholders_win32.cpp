#include <shlobj.h>
#include <windows.h>

#include "target/placeholders.h"
#include "target/time_and_random.h"

namespace {

// The platform's path calls take a 32-bit size; no path they return comes
// near this, so a larger buffer is simply handed over as this much.
DWORD platformSize(uint64_t capacity) {
  return capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(capacity);
}

}  // namespace

bool writeTemporaryDirectory(Utf16Unit* output, uint64_t capacity) {
  const DWORD size = platformSize(capacity);
  // The result is the path's length when it fits, otherwise the size it
  // would need with its terminator, or 0 on failure.
  const DWORD length =
      GetTempPathW(/*nBufferLength=*/size, /*lpBuffer=*/reinterpret_cast<wchar_t*>(output));
  if (length == 0 || length >= size) {
    output[0] = 0;
    return false;
  }
  return true;
}

bool writeProgramPath(Utf16Unit* output, uint64_t capacity) {
  const DWORD size = platformSize(capacity);
  // A path that does not fit is cut to size - 1 units and the result is the
  // full size; 0 means failure.
  const DWORD length = GetModuleFileNameW(
      /*hModule=*/nullptr, /*lpFilename=*/reinterpret_cast<wchar_t*>(output), /*nSize=*/size);
  if (length == 0 || length >= size) {
    output[0] = 0;
    return false;
  }
  return true;
}

bool readUserFolder(UserFolder folder, Utf16Unit (&path)[kUserFolderCapacity]) {
  const int csidl = folder == UserFolder::kProfile ? CSIDL_PROFILE : CSIDL_LOCAL_APPDATA;
  return SHGetFolderPathW(/*hwnd=*/nullptr, /*csidl=*/csidl, /*hToken=*/nullptr,
                          /*dwFlags=*/SHGFP_TYPE_CURRENT,
                          /*pszPath=*/reinterpret_cast<wchar_t*>(path)) == S_OK;
}

int64_t readSystemTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) |
                              now.dwLowDateTime);
}

uint32_t currentProcessId() { return GetCurrentProcessId(); }

uint32_t readRandomSeed() {
  // The counter's value and where it lies on this run's stack both vary from
  // run to run; the process id separates runs started at the same moment.
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return randomSeedOf(static_cast<uint64_t>(counter.QuadPart),
                      static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&counter)),
                      GetCurrentProcessId());
}
