// The entry table as a launcher carries it: one zstd frame whose content is
// the table (entry_table.h), declaring its decoded length, with zstd's own
// content checksum. Names make most of a table and repeat their folders from
// entry to entry, so the frame is about a tenth of the table; a launcher
// decodes it once, before anything reads it.
//
// Guarantee: a frame that these functions accept decodes to exactly the
// length it declares, whole and as written (zstd checks the checksum);
// anything else (another frame, a cut or damaged one, trailing bytes, a
// length past kPackedEntryTableLimit) is refused, and the table is then
// treated as absent. Nothing outside the given bytes is read or written.
#pragma once
#include <cstddef>
#include <cstdint>

// The largest decoded table a launcher takes: a million entries with long
// names.
constexpr uint64_t kPackedEntryTableLimit = uint64_t{256} << 20;

// The decoded length the frame at `stored` declares, or 0 when it is not one
// whole frame that declares a length from kEntryTableHeaderSize + 4 to
// kPackedEntryTableLimit.
uint64_t packedEntryTableLength(const unsigned char* stored, size_t storedLength);

// Decodes the frame into the `length` bytes at `out` (the length
// packedEntryTableLength gave). False unless it decodes to exactly those
// bytes with a matching content checksum.
bool unpackEntryTable(const unsigned char* stored, size_t storedLength, unsigned char* out,
                      size_t length);
