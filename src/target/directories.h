// Directory creation on demand, top down, remembering every directory found
// or made so that each costs at most one system call per run.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"

// Every directory found or made this run, in that order, compared exactly as
// given (no case folding, no normalisation). The first entry is the user's
// home directory, which is never created. Once full, further directories are
// still made but not recorded. Exposed for tests.
constexpr int32_t kKnownDirectoryCapacity = 1024;
extern Utf16Unit* knownDirectories[kKnownDirectoryCapacity];
// Whether this run created the directory at the same index (true) or found it.
extern bool knownDirectoryMade[kKnownDirectoryCapacity];
extern int32_t knownDirectoryCount;

// True when the directory is known to exist afterwards: it is in the list, is
// a bare drive designator such as "C:", or was created or found present now.
// The first call seeds the list with the home directory and ends the process
// with the spec failure for "{HOME}" when that cannot be had.
bool ensureDirectory(const Utf16Unit* path);

// Makes sure every ancestor of `path` exists, creating the missing ones from
// the top down; `path` itself is not created. A directory that cannot be made
// is not reported here. Aborts when `path` has 4096 units or more.
void createParentDirectories(const Utf16Unit* path);

// Makes sure the directory holding the file at `entryPath` exists, with all
// its ancestors. Failures are not reported here: they surface when the file
// is opened.
void createEntryDirectories(const Utf16Unit* entryPath);

// True when this run created the directory that holds the file at
// `entryPath`: the directory was empty then, so the only files in it are
// ones this run wrote. False when it was found, or is not known.
bool isEntryDirectoryMadeThisRun(const Utf16Unit* entryPath);
