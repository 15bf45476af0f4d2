#include <windows.h>

#include <cwchar>

#include "diag/report.h"
#include "target/directories.h"
#include "target/spec.h"

Utf16Unit* knownDirectories[kKnownDirectoryCapacity];
bool knownDirectoryMade[kKnownDirectoryCapacity];
int32_t knownDirectoryCount = 0;

namespace {

const wchar_t* wide(const Utf16Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

// A copy that cannot be allocated is simply not recorded: the directory then
// costs one more system call when it is asked for again.
void recordDirectory(const Utf16Unit* path, bool made) {
  if (knownDirectoryCount >= kKnownDirectoryCapacity) return;
  Utf16Unit* const copy = reinterpret_cast<Utf16Unit*>(_wcsdup(wide(path)));
  if (copy == nullptr) return;
  knownDirectoryMade[knownDirectoryCount] = made;
  knownDirectories[knownDirectoryCount++] = copy;
}

// Index of `path` in the list, or -1. Entries come grouped by folder, so the
// search starts with the directory recorded last.
int32_t knownDirectoryIndex(const Utf16Unit* path) {
  for (int32_t i = knownDirectoryCount - 1; i >= 0; --i) {
    if (std::wcscmp(wide(knownDirectories[i]), wide(path)) == 0) return i;
  }
  return -1;
}

// Ends `path` at its last backslash after the first character, leaving the
// parent directory. False when there is none: the path has no parent to make.
bool cutToParent(Utf16Unit* path) {
  for (size_t i = unitLength(path); i > 1; --i) {
    if (path[i - 1] == u'\\') {
      path[i - 1] = 0;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ensureDirectory(const Utf16Unit* path) {
  // The home directory exists by definition and is never created; it goes
  // first so that nothing above it is ever tried.
  if (knownDirectoryCount == 0) {
    static PathBuffer home;
    if (!expandSpec(home, u"{HOME}", kPathCapacity)) fatalSpecError(u"{HOME}");
    recordDirectory(home, /*made=*/false);
  }
  if (knownDirectoryIndex(path) >= 0) return true;
  if (path[0] != 0 && path[1] == u':' && path[2] == 0) return true;

  const bool made = CreateDirectoryW(/*lpPathName=*/wide(path), /*lpSecurityAttributes=*/nullptr);
  if (!made && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  recordDirectory(path, made);
  return true;
}

void createParentDirectories(const Utf16Unit* path) {
  // Every ancestor is a prefix of the path, so one working copy serves the
  // whole walk: climbing puts a terminator where a backslash was, and coming
  // back down puts the backslash back. The directories are tried in the same
  // order as by making the ancestors of each missing parent first, without a
  // stack that grows with the depth of the path.
  PathBuffer work;
  copyText(work, kPathCapacity, path);

  // Climb until a directory exists or there is no parent left.
  int levels = 0;
  bool foundExisting = false;
  while (cutToParent(work)) {
    ++levels;
    if (ensureDirectory(work)) {
      foundExisting = true;
      break;
    }
  }
  if (levels == 0) return;

  // The topmost missing directory has no parent to make; it is tried once
  // more all the same, then each level below it.
  if (!foundExisting) ensureDirectory(work);
  for (; levels > 1; --levels) {
    work[unitLength(work)] = u'\\';
    ensureDirectory(work);
  }
}

void createEntryDirectories(const Utf16Unit* entryPath) {
  // The entry's directory is the parent of its file: the same walk.
  createParentDirectories(entryPath);
}

bool isEntryDirectoryMadeThisRun(const Utf16Unit* entryPath) {
  PathBuffer directory;
  copyText(directory, kPathCapacity, entryPath);
  if (!cutToParent(directory)) return false;
  const int32_t index = knownDirectoryIndex(directory);
  return index >= 0 && knownDirectoryMade[index];
}
