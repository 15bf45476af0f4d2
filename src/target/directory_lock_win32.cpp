#include <windows.h>

#include "target/directory_lock.h"

namespace {

HANDLE directoryLock;
PathBuffer foldedDirectory;
Utf16Unit lockName[kDirectoryLockNameCapacity];

}  // namespace

void lockNameForDirectory(const Utf16Unit* directory, Utf16Unit* name) {
  // Upper case by the invariant locale's simple mapping, the one file names
  // compare by; if it fails the path is taken as it stands.
  const int folded = LCMapStringW(
      /*Locale=*/LOCALE_INVARIANT, /*dwMapFlags=*/LCMAP_UPPERCASE,
      /*lpSrcStr=*/reinterpret_cast<const wchar_t*>(directory), /*cchSrc=*/-1,
      /*lpDestStr=*/reinterpret_cast<wchar_t*>(foldedDirectory), /*cchDest=*/kPathCapacity);
  directoryLockName(folded > 0 ? foldedDirectory : directory, name);
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
