// The entry loop: unpacks every payload entry below the target directory and
// leaves alone each file already present with its stored checksum.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"

// Path of the first entry, the child program; empty until an entry is read.
extern PathBuffer childProgramPath;

// Reads entries through readPayload until the end-of-list entry.
void unpackPayload(const Utf16Unit* targetDirectory);

// Checksum of the file at `path` by the format's rule, or 0 when it is
// missing or cannot be opened, sized or mapped.
uint32_t existingFileChecksum(const Utf16Unit* path);
