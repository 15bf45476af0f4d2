// Whether a file already on disk holds an entry's contents. Plain reads to
// the end of the file, whatever its size: a read error (a failing disk, a
// network or redirected folder, a cloud placeholder) comes back as a failed
// call, where a mapped view would raise an in-page fault and end the process.
// Nothing here writes, and every failure only means the file is written
// again. Safe on any thread, each with its own buffer.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

// Each checking thread reads through a buffer of this many bytes: large
// reads cost fewer calls per file, and past about a megabyte gain nothing.
constexpr size_t kCheckBufferSize = size_t{1} << 20;

// Checksum of the file at `path` by the format's rule, read through
// `buffer` (`bufferSize` bytes), or 0 when it is missing or cannot be opened
// or read. An empty file has the CRC 0 and so the checksum 1, which an empty
// entry stores.
uint32_t fileChecksum(const Utf16Unit* path, unsigned char* buffer, size_t bufferSize);

// True when the file at `path` has exactly `size` bytes and the checksum
// `checksum`; a file of another size is not read.
bool fileMatches(const Utf16Unit* path, uint64_t size, uint32_t checksum, unsigned char* buffer,
                 size_t bufferSize);
