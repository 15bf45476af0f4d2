// The attached data format, shared by the writer, the reader and the tests.
//
//   "RUQ" | one zstd frame | 3 zero bytes | u64 (6 + frame length) | 3 zero bytes
//
// The frame decodes to payload entries, each
//   name (UTF-16LE units, none zero) | u16 0 | u64 size | u32 checksum | contents
// closed by an end-of-list entry that is the u16 0 alone. Integers are
// little-endian and unaligned.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr unsigned char kAttachedDataHeader[3] = {'R', 'U', 'Q'};
constexpr size_t kAttachedHeaderSize = 3;
constexpr size_t kAttachedTrailerSize = 14;
// The decoder runs with default parameters, which accept windows up to 2^27.
constexpr int kMaxWindowLog = 27;
// Decoded bytes are handed out from one block of this size.
constexpr size_t kDecodedBlockSize = 131072;
// Contents move in pieces of at most this many bytes.
constexpr size_t kContentChunkSize = 32768;
// A name holds at most kEntryNameCapacity - 1 units.
constexpr size_t kEntryNameCapacity = 1024;

// True when the three bytes at `data` are "RUQ"; each byte is compared alone.
bool hasAttachedDataHeader(const unsigned char* data);

// The checksum rule: the standard CRC-32 from 0 (the gzip and PNG one, as
// zlib's crc32 computes it) of the contents, with 0 replaced by 1. Checksum 0
// stands for a missing file.
constexpr uint32_t checksumFromCrc(uint32_t crc) { return crc == 0 ? 1 : crc; }
uint32_t contentChecksum(const void* data, size_t length);
// Extends a running CRC-32 (0 to start) over any length: the CRC of the
// pieces one after another equals the CRC of all of them at once.
uint32_t extendCrc(uint32_t crc, const void* data, uint64_t length);

void storeU64(unsigned char* out, uint64_t value);
void storeU32(unsigned char* out, uint32_t value);
uint64_t loadU64(const unsigned char* in);
uint32_t loadU32(const unsigned char* in);

// Why the `length` units at `name` (no terminator) cannot name an entry, or
// nullptr when they can. A name is a relative file path below the target
// directory: 1 to kEntryNameCapacity - 1 units, components joined by one
// backslash, none empty, "." or "..", and no unit that Windows refuses in a
// file name (controls, < > : " / | ? *), so no drive, stream or escape.
const char* entryNameFault(const char16_t* name, size_t length);

// Fills the 14 trailer bytes for a frame of `frameLength` bytes.
void fillAttachedTrailer(unsigned char (&trailer)[kAttachedTrailerSize], uint64_t frameLength);
