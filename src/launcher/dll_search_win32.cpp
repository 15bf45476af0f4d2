#include <windows.h>

#include "launcher/dll_search.h"

void restrictDllSearchToSystemFolder() {
  // Looked up rather than imported, so that the launcher still starts where
  // the call is missing; kernel32 is loaded before the first line runs.
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  const FARPROC found =
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (found == nullptr) return;
  reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void (*)()>(found))(
      LOAD_LIBRARY_SEARCH_SYSTEM32);
}
