// The entry loop: unpacks every payload entry below the target directory and
// leaves alone each file already present with its stored checksum. Only one
// launcher at a time runs it over a directory, and every file is written
// under a temporary name and moved into place, so a file is never seen half
// written under its own name, also by a launcher started alongside.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"

// A first start unpacks into the target directory's name with this suffix
// and renames that folder into place. A start that finds the target directory
// writes a file in its staging folder, named by this suffix, or else under
// its entry's name with this suffix, and then moves it over its real name.
// tavmor-pack refuses entry names with a component that ends in it, which
// would meet the staging folder or another entry's temporary file.
constexpr Utf16Unit kPartialSuffix[] = u".tavmor-partial";

// Path of the first entry, the child program; empty until an entry is read.
extern PathBuffer childProgramPath;

// Reads entries through readPayload until the end-of-list entry.
void unpackPayload(const Utf16Unit* targetDirectory);

// Checksum of the file at `path` by the format's rule, or 0 when it is
// missing or cannot be opened or read.
uint32_t existingFileChecksum(const Utf16Unit* path);
