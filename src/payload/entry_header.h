// Decoding of one payload entry's header: its name, its size and its stored
// checksum, in the requests the launcher has always made (each name unit by
// a request of 2 bytes, the size by one of 8, the checksum by one of 4). The
// launcher's extraction, tavmor-pack's list, verify and extract, and the tests
// all read entries through this one decoder; each then takes the contents in
// pieces of at most kContentChunkSize.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"
#include "payload/entry_table.h"
#include "payload/format.h"
#include "payload/reader.h"

struct PayloadEntryHeader {
  // NUL-terminated; empty for the end-of-list entry, which has no size or
  // checksum.
  Utf16Unit name[kEntryNameCapacity];
  size_t nameLength;
  uint64_t size;
  uint32_t checksum;
};

enum class EntryHeaderStatus {
  ok,            // an entry, or the end of the list (an empty name)
  decodeFailed,  // the reader reported a failure
  nameTooLong,   // the name ran past kEntryNameCapacity - 1 units
};

EntryHeaderStatus takeEntryHeader(PayloadReader& reader, PayloadEntryHeader& header);

// The launcher's face: reads through the launcher's single reader and ends
// the process with "Error, couldn't decode attached data." on any failure; a
// name too long for the buffer is damage no writer of ours makes.
void readEntryHeader(PayloadEntryHeader& header);

// True when `header`, as read from the stream, is the entry `listed` in the
// entry table: the same name, size and checksum.
bool entryHeaderMatches(const PayloadEntryHeader& header, const TableEntry& listed);
