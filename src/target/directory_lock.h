// One unpacking launcher per target directory at a time, across processes.
// The lock is a named mutex in the session's namespace whose name is derived
// from the directory's full path with its case folded, so every launcher that
// unpacks into the same directory under the same spelling meets the same
// lock. A holder that dies leaves the mutex abandoned, which the next waiter
// receives as acquired: its pass repairs whatever the dead one cut short.
#pragma once
#include <cstddef>

#include "base/utf16_text.h"

// "Local\TavmorOnefile-" and 16 hexadecimal digits, with its terminator.
constexpr size_t kDirectoryLockNameCapacity = 37;

// Writes the lock's name for `foldedDirectory`, a full path whose case the
// caller has already folded, into `name` (kDirectoryLockNameCapacity units).
// Trailing backslashes do not count, so C:\A and C:\A\ share one lock.
void directoryLockName(const Utf16Unit* foldedDirectory, Utf16Unit* name);

// Writes the lock's name for `directory` into `name`
// (kDirectoryLockNameCapacity units): the system's final path of the
// directory, or of its deepest existing ancestor followed by the missing
// rest, so that short (8.3) names, mapped drives and links lead to one lock;
// then its case folded by the platform's upper-case mapping, then
// directoryLockName.
void lockNameForDirectory(const Utf16Unit* directory, Utf16Unit* name);

// Waits, without a time limit, until no other launcher holds the lock of
// `directory`, then holds it. When the mutex cannot be created or opened
// (another kind of object or another user's mutex has the name), the pass
// runs without it: files are still written under a temporary name that only
// one process at a time can open, and moved into place.
void lockTargetDirectory(const Utf16Unit* directory);

// Releases the lock taken by lockTargetDirectory, if any.
void unlockTargetDirectory();
