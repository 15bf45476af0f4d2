// Reads a whole entry list through PayloadReader in the requests extraction
// makes: each name unit by a request of 2 bytes, the size by one of 8, the
// checksum by one of 4, the contents by takeContentPiece.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/reader.h"

struct WalkedEntry {
  std::u16string name;
  uint64_t size = 0;
  uint32_t checksum = 0;
  std::string contents;
};

enum class WalkOutcome {
  complete,      // the end-of-list entry was read
  decodeFailed,  // the reader reported decodeFailed
  nameTooLong,   // a name ran past kEntryNameCapacity - 1 units
  limitReached,  // the next request would pass the limit on decoded bytes
};

struct WalkResult {
  WalkOutcome outcome = WalkOutcome::decodeFailed;
  std::vector<WalkedEntry> entries;
};

// Walks the attached data at `data` ("RUQ" included, `length` bytes in all)
// and keeps every entry with its contents.
WalkResult walkEntries(const unsigned char* data, size_t length);

// The same walk on a reader already begun. Entries go to `entries` unless it
// is null; the walk stops with limitReached rather than request more than
// `decodedLimit` bytes in all.
WalkOutcome walkEntries(PayloadReader& reader, uint64_t decodedLimit,
                        std::vector<WalkedEntry>* entries);
