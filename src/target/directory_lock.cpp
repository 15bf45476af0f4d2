#include "target/directory_lock.h"

#include <cstdint>

void directoryLockName(const Utf16Unit* foldedDirectory, Utf16Unit* name) {
  size_t length = unitLength(foldedDirectory);
  while (length > 0 && foldedDirectory[length - 1] == u'\\') --length;

  // FNV-1a over the code units: a name of fixed length whatever the path's,
  // far below the platform's limit for object names. A collision would only
  // make two directories wait for each other.
  uint64_t hash = 0xCBF29CE484222325ull;
  for (size_t i = 0; i < length; ++i) {
    hash ^= foldedDirectory[i];
    hash *= 0x100000001B3ull;
  }
  copyText(name, kDirectoryLockNameCapacity, u"Local\\TavmorOnefile-");
  const char* const digits = "0123456789abcdef";
  for (int shift = 60; shift >= 0; shift -= 4) {
    appendUnit(name, kDirectoryLockNameCapacity,
               static_cast<Utf16Unit>(digits[(hash >> shift) & 0xF]));
  }
}
