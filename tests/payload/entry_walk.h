// Reads a whole entry list through PayloadReader in the requests extraction
// makes: each name unit by a request of 2 bytes, the size by one of 8, the
// checksum by one of 4, the contents in pieces of at most kContentChunkSize.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/reader.h"

struct WalkedEntry {
  std::u16string name;
  uint64_t size = 0;
  uint32_t checksum = 0;
  std::string contents;  // kept only when the walk is asked to keep it
};

enum class WalkOutcome {
  complete,      // the end-of-list entry was read
  decodeFailed,  // the reader reported decodeFailed
  nameTooLong,   // a name ran past kEntryNameCapacity - 1 units
  limitReached,  // more contents than `contentLimit`
};

struct WalkResult {
  WalkOutcome outcome = WalkOutcome::decodeFailed;
  std::vector<WalkedEntry> entries;
};

// Walks the attached data at `data` (header included, `length` bytes in all).
// The header must be "RUQ". Contents are kept when `keepContents`; the walk
// stops with limitReached once the sizes read add up past `contentLimit`.
WalkResult walkEntries(const unsigned char* data, size_t length, bool keepContents,
                       uint64_t contentLimit = UINT64_MAX);

// The same walk on a reader already begun.
WalkOutcome walkEntries(PayloadReader& reader, bool keepContents, uint64_t contentLimit,
                        std::vector<WalkedEntry>& entries);
