#include "payload/entry_table.h"

#include <cstring>

#include "payload/format.h"

AttachedEdges attachedEdges(uint64_t inputLength) {
  AttachedEdges edges;
  edges.headLength = inputLength < kAttachedEdgeBytes ? inputLength : kAttachedEdgeBytes;
  edges.tailOffset =
      inputLength < 2 * kAttachedEdgeBytes ? edges.headLength : inputLength - kAttachedEdgeBytes;
  edges.tailLength = inputLength - edges.tailOffset;
  return edges;
}

uint32_t attachedDataEdgeCrc(const unsigned char* input, uint64_t inputLength) {
  const AttachedEdges edges = attachedEdges(inputLength);
  const uint32_t head = extendCrc(0, input, edges.headLength);
  return extendCrc(head, input + edges.tailOffset, edges.tailLength);
}

namespace {

uint16_t loadU16(const unsigned char* in) { return static_cast<uint16_t>(in[0] | in[1] << 8); }

}  // namespace

namespace {

const unsigned char* entryRecord(const unsigned char* table, uint64_t index) {
  return table + kEntryTableHeaderSize + index * kEntryRecordSize;
}

const unsigned char* frameRecord(const unsigned char* table, uint64_t entries, uint64_t index) {
  return table + kEntryTableHeaderSize + entries * kEntryRecordSize + index * kFrameRecordSize;
}

// Where entry `index`'s header begins in the decoded stream, from its record.
uint64_t entryStart(const unsigned char* table, uint64_t index) {
  const unsigned char* const record = entryRecord(table, index);
  return loadU64(record) - entryHeaderBytes(loadU16(record + 24));
}

// Frames follow one another from the input's start to the trailer, each
// starts at an entry (the first at the first, each later one where the one
// before ends) and decodes from where that entry's header begins; the last
// holds the end-of-list entry.
const char* framesProblem(const unsigned char* table, uint64_t entries, uint64_t frames,
                          uint64_t inputLength) {
  if (frames == 0 || frames > entries + 1) return "a wrong frame count";
  uint64_t input = 0;
  uint64_t firstEntry = 0;
  for (uint64_t i = 0; i < frames; ++i) {
    const unsigned char* const record = frameRecord(table, entries, i);
    const uint64_t length = loadU64(record + 8);
    const uint64_t count = loadU32(record + 28);
    if (loadU64(record) != input || loadU32(record + 24) != firstEntry) {
      return "frames that do not follow one another";
    }
    const bool last = i + 1 == frames;
    if (length == 0 || length > inputLength || (count == 0 && !last) ||
        count > entries - firstEntry) {
      return "a frame of a wrong size";
    }
    // A frame of the end-of-list entry alone is checked by the caller.
    if (firstEntry < entries && loadU64(record + 16) != entryStart(table, firstEntry)) {
      return "a frame that does not start at an entry";
    }
    input += length;
    firstEntry += count;
  }
  if (firstEntry != entries || input + kAttachedTrailerSize != inputLength) {
    return "frames that do not cover the attached data";
  }
  return nullptr;
}

}  // namespace

const char* entryTableProblem(const unsigned char* table, size_t size, uint64_t inputLength,
                              uint32_t edgeCrc, EntryTableView& view) {
  if (size < kEntryTableHeaderSize + 4) return "too short";
  if (std::memcmp(table, kEntryTableSignature, sizeof kEntryTableSignature) != 0) {
    return "no signature";
  }
  const uint64_t length = loadU32(table + 8);
  if (length > size || length < kEntryTableHeaderSize + 4 || length % 4 != 0) {
    return "a wrong length";
  }
  if (extendCrc(0, table, length - 4) != loadU32(table + length - 4)) return "a wrong checksum";

  const uint64_t count = loadU32(table + 12);
  const uint64_t poolUnits = loadU32(table + 36);
  const uint64_t frames = loadU32(table + 48);
  if (count > kEntryTableCapacity) return "more entries than a launcher checks";
  if (frames > count + 1) return "a wrong frame count";
  const uint64_t poolStart =
      kEntryTableHeaderSize + count * kEntryRecordSize + frames * kFrameRecordSize;
  const uint64_t poolEnd = poolStart + 2 * poolUnits;
  if (poolEnd + 4 > length || (length - 4 - poolEnd) >= 4) return "a wrong pool size";
  if (loadU64(table + 24) != inputLength || loadU32(table + 32) != edgeCrc) {
    return "written for other attached data";
  }

  // Each entry's contents begin right after its header, which begins right
  // after the contents before it; the list ends with a 2-byte end entry.
  const unsigned char* const pool = table + poolStart;
  uint64_t at = 0;
  uint64_t contents = 0;
  for (uint64_t i = 0; i < count; ++i) {
    const unsigned char* const record = entryRecord(table, i);
    const uint64_t nameStart = loadU32(record + 20);
    const uint64_t nameLength = loadU16(record + 24);
    if (nameLength == 0 || nameLength >= kEntryNameCapacity ||
        nameStart + nameLength >= poolUnits) {
      return "a name outside the pool";
    }
    for (uint64_t unit = 0; unit < nameLength; ++unit) {
      if (loadU16(pool + 2 * (nameStart + unit)) == 0) return "a name with a zero unit";
    }
    if (loadU16(pool + 2 * (nameStart + nameLength)) != 0) return "an unterminated name";
    const uint64_t size = loadU64(record + 8);
    at += entryHeaderBytes(nameLength);
    if (loadU64(record) != at) return "an entry where the stream does not put it";
    if (size > UINT64_MAX / 2 - at) return "an entry too large";
    at += size;
    contents += size;
  }
  if (loadU64(table + 16) != at + 2 || loadU64(table + 40) != contents) {
    return "totals that do not match its entries";
  }
  // A frame holding only the end-of-list entry starts where it lies.
  if (frames > 0 && loadU32(frameRecord(table, count, frames - 1) + 28) == 0 &&
      loadU64(frameRecord(table, count, frames - 1) + 16) != at) {
    return "a frame that does not start at an entry";
  }
  if (const char* problem = framesProblem(table, count, frames, inputLength)) return problem;
  view.bytes = table;
  view.entryCount = static_cast<uint32_t>(count);
  view.frameCount = static_cast<uint32_t>(frames);
  view.decodedLength = at + 2;
  view.contentBytes = contents;
  return nullptr;
}

TableEntry tableEntry(const EntryTableView& view, uint32_t index) {
  const unsigned char* const record = entryRecord(view.bytes, index);
  const unsigned char* const pool = frameRecord(view.bytes, view.entryCount, view.frameCount);
  TableEntry entry;
  entry.name = reinterpret_cast<const Utf16Unit*>(pool) + loadU32(record + 20);
  entry.nameLength = loadU16(record + 24);
  entry.contentOffset = loadU64(record);
  entry.size = loadU64(record + 8);
  entry.checksum = loadU32(record + 16);
  return entry;
}

TableFrame tableFrame(const EntryTableView& view, uint32_t index) {
  const unsigned char* const record = frameRecord(view.bytes, view.entryCount, index);
  return TableFrame{loadU64(record), loadU64(record + 8), loadU64(record + 16),
                    loadU32(record + 24), loadU32(record + 28)};
}
