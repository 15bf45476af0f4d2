#include <windows.h>

#include "target/directory_lock.h"

namespace {

HANDLE directoryLock;
PathBuffer existingPart;
PathBuffer resolvedDirectory;
PathBuffer foldedDirectory;
Utf16Unit lockName[kDirectoryLockNameCapacity];

// The system's own spelling of `directory`: the final path of the directory,
// or of its deepest existing ancestor with the missing rest appended as
// given. Short (8.3) names, mapped drives and links on the way all resolve
// to it, so launchers that reach one directory by different paths meet one
// lock, whether it exists yet or not. `directory` itself when nothing on its
// path can be opened or the result does not fit.
const Utf16Unit* resolveDirectory(const Utf16Unit* directory) {
  copyText(existingPart, kPathCapacity, directory);
  // existingPart is what is tried; the rest of `directory` from here on is
  // appended to its final path.
  size_t restStart = unitLength(directory);
  for (;;) {
    const HANDLE handle = CreateFileW(
        /*lpFileName=*/reinterpret_cast<const wchar_t*>(existingPart), /*dwDesiredAccess=*/0,
        /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/OPEN_EXISTING,
        /*dwFlagsAndAttributes=*/FILE_FLAG_BACKUP_SEMANTICS, /*hTemplateFile=*/nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      const DWORD got = GetFinalPathNameByHandleW(
          /*hFile=*/handle, /*lpszFilePath=*/reinterpret_cast<wchar_t*>(resolvedDirectory),
          /*cchFilePath=*/kPathCapacity, /*dwFlags=*/FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      CloseHandle(handle);
      if (got == 0 || got >= kPathCapacity) return directory;
      // A drive's root resolves with its backslash, which the rest brings.
      const size_t resolvedLength = dropTrailingBackslashes(resolvedDirectory);
      const Utf16Unit* const rest = directory + restStart;
      if (resolvedLength + unitLength(rest) >= kPathCapacity) return directory;
      appendText(resolvedDirectory, kPathCapacity, rest);
      return resolvedDirectory;
    }
    // One component up: the rest starts at the backslash before it. A
    // drive's root is tried with its backslash, as "C:" alone names the
    // drive's current folder.
    size_t cut = restStart;
    while (cut > 0 && directory[cut - 1] != u'\\') --cut;
    if (cut <= 1) return directory;
    restStart = cut - 1;
    const bool driveRoot = restStart == 2 && directory[1] == u':';
    existingPart[driveRoot ? cut : restStart] = 0;
  }
}

}  // namespace

void lockNameForDirectory(const Utf16Unit* directory, Utf16Unit* name) {
  const Utf16Unit* const resolved = resolveDirectory(directory);
  // Upper case by the invariant locale's simple mapping, the one file names
  // compare by; if it fails the path is taken as it stands.
  const int folded = LCMapStringW(
      /*Locale=*/LOCALE_INVARIANT, /*dwMapFlags=*/LCMAP_UPPERCASE,
      /*lpSrcStr=*/reinterpret_cast<const wchar_t*>(resolved), /*cchSrc=*/-1,
      /*lpDestStr=*/reinterpret_cast<wchar_t*>(foldedDirectory), /*cchDest=*/kPathCapacity);
  directoryLockName(folded > 0 ? foldedDirectory : resolved, name);
}

void lockTargetDirectory(const Utf16Unit* directory) {
  lockNameForDirectory(directory, lockName);
  directoryLock = CreateMutexW(/*lpMutexAttributes=*/nullptr, /*bInitialOwner=*/FALSE,
                               /*lpName=*/reinterpret_cast<const wchar_t*>(lockName));
  if (directoryLock == nullptr) return;
  // WAIT_ABANDONED: the holder ended without releasing; the lock is ours.
  const DWORD waited = WaitForSingleObject(directoryLock, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(directoryLock);
    directoryLock = nullptr;
  }
}

void unlockTargetDirectory() {
  if (directoryLock == nullptr) return;
  ReleaseMutex(directoryLock);
  CloseHandle(directoryLock);
  directoryLock = nullptr;
}
