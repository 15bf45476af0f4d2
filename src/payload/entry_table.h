// The entry table: where each entry of the attached data lies in its decoded
// stream, with its name, size and checksum, so that a start can check the
// files already on disk without decoding anything. tavmor-pack writes it in a
// section of its own (kEntryTableSection) that the stamped configuration
// locates, packed as one zstd frame (packed_entry_table.h); readers of the
// attached data never look there, and the attached data is the same with or
// without it.
//
// Layout, little-endian, read in place once decoded:
//   header (kEntryTableHeaderSize bytes)
//     0  8  kEntryTableSignature
//     8  4  u32 the table's length in bytes, final checksum included
//    12  4  u32 entry count
//    16  8  u64 decoded length: the whole entry list, end-of-list entry included
//    24  8  u64 the attached data's input length (frame and trailer)
//    32  4  u32 the attached data's edge checksum (attachedDataEdgeCrc)
//    36  4  u32 units in the name pool
//    40  8  u64 contents: the sum of every entry's size
//    48  4  u32 frame count, at least 1
//    52  4  zero
//   records, entry count x kEntryRecordSize bytes, in stream order
//     0  8  u64 where the entry's contents begin in the decoded stream
//     8  8  u64 size
//    16  4  u32 stored checksum
//    20  4  u32 index of the name's first unit in the pool
//    24  2  u16 name length in units (1 to kEntryNameCapacity - 1)
//    26  6  zero
//   frames, frame count x kFrameRecordSize bytes, in stream order: the zstd
//   frames the entry list is cut into, each starting at an entry (the last
//   also holds the end-of-list entry), so each decodes on its own
//     0  8  u64 where the frame starts in the input (0 for the first)
//     8  8  u64 its compressed length
//    16  8  u64 where its decoded content starts in the decoded stream
//    24  4  u32 index of its first entry
//    28  4  u32 its entry count
//   name pool: UTF-16LE units, each name followed by a zero unit
//   zero bytes up to a multiple of 4
//   u32 CRC-32 of every byte before it
//
// A table is trusted only when entryTableProblem finds nothing wrong: its own
// checksum, records whose offsets follow from the names and sizes before them
// exactly as the stream lays entries out, frames that follow one another over
// the whole frame part of the input and each start at an entry, and the
// attached data it was written for (the same input length and edge checksum). Anything else is
// damage or another build's table, and the launcher then runs its single pass
// as if there were none.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

constexpr char kEntryTableSection[8] = ".tavtbl";
constexpr unsigned char kEntryTableSignature[8] = {'T', 'A', 'V', 'T', 'B', 'L', '0', '1'};
constexpr size_t kEntryTableHeaderSize = 56;
constexpr size_t kEntryRecordSize = 32;
constexpr size_t kFrameRecordSize = 32;
// A launcher checks at most this many entries by their table; tavmor-pack
// writes no table for more.
constexpr uint32_t kEntryTableCapacity = 1u << 20;
// The bytes at each end of the attached data's input that bind a table to it.
constexpr size_t kAttachedEdgeBytes = 4096;

// Bytes of the decoded stream an entry's header takes: its name with the
// terminator, its size and its checksum.
constexpr uint64_t entryHeaderBytes(uint64_t nameLength) { return 2 * (nameLength + 1) + 12; }

// The bytes of the attached data's input (frame and trailer) that bind a
// table to it: the first kAttachedEdgeBytes and the last kAttachedEdgeBytes,
// without overlap (all of it when shorter than twice that).
struct AttachedEdges {
  uint64_t headLength;  // from offset 0
  uint64_t tailOffset;
  uint64_t tailLength;
};
AttachedEdges attachedEdges(uint64_t inputLength);
// CRC-32 of the head and then the tail.
uint32_t attachedDataEdgeCrc(const unsigned char* input, uint64_t inputLength);

// One entry, read in place.
struct TableEntry {
  const Utf16Unit* name;  // in the pool, followed by a zero unit
  uint32_t nameLength;
  uint64_t contentOffset;
  uint64_t size;
  uint32_t checksum;
};

// One frame, read in place.
struct TableFrame {
  uint64_t inputOffset;
  uint64_t compressedLength;
  uint64_t decodedOffset;
  uint32_t firstEntry;
  uint32_t entryCount;
};

struct EntryTableView {
  const unsigned char* bytes;
  uint32_t entryCount;
  uint32_t frameCount;
  uint64_t decodedLength;
  uint64_t contentBytes;
};

// What is wrong with the `size` bytes at `table` as the entry table of the
// attached data whose input (after the header) has `inputLength` bytes and the
// edge checksum `edgeCrc`, or nullptr when it can be trusted; then `view`
// describes it. `table` must be 2-byte aligned, so that names can be read in
// place. Reads nothing outside those bytes.
const char* entryTableProblem(const unsigned char* table, size_t size, uint64_t inputLength,
                              uint32_t edgeCrc, EntryTableView& view);

// Entry `index` (below view.entryCount) of a trusted table.
TableEntry tableEntry(const EntryTableView& view, uint32_t index);
// Frame `index` (below view.frameCount) of a trusted table.
TableFrame tableFrame(const EntryTableView& view, uint32_t index);
