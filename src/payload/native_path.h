// The kernel's own spelling of a full Win32 path, which renaming a file by its
// handle takes: the system passes that name on as it stands, without the
// rewriting it applies to names given to CreateFileW or MoveFileExW.
#pragma once
#include <cstddef>

#include "base/utf16_text.h"

// Room for any path buffer's text and the longest prefix.
constexpr size_t kNativePathCapacity = kPathCapacity + 6;

// Writes the native form of `path` into `native` (`capacity` units with the
// terminator) and returns true:
//   C:\dir\file          -> \??\C:\dir\file
//   \\server\share\file  -> \??\UNC\server\share\file
//   \\?\anything         -> \??\anything
// Returns false for every other form (relative, rooted without a drive, a
// device path such as \\.\COM1) and when the result would not fit. Only the
// prefix changes: a caller whose path is not verbatim (\\?\) must make sure
// that the system's Win32 rules would leave the rest alone.
bool nativePathFromWin32(const Utf16Unit* path, Utf16Unit* native, size_t capacity);

// True for \\?\ paths, which the system takes as they stand.
bool isVerbatimPath(const Utf16Unit* path);
