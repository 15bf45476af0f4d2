#include "entry_walk.h"

#include "payload/entry_header.h"
#include "payload/format.h"

WalkOutcome walkEntries(PayloadReader& reader, uint64_t decodedLimit,
                        std::vector<WalkedEntry>* entries) {
  uint64_t left = decodedLimit;
  unsigned char scratch[kContentChunkSize];
  PayloadEntryHeader header;
  for (;;) {
    switch (takeEntryHeader(reader, header)) {
      case EntryHeaderStatus::ok:
        break;
      case EntryHeaderStatus::decodeFailed:
        return WalkOutcome::decodeFailed;
      case EntryHeaderStatus::nameTooLong:
        return WalkOutcome::nameTooLong;
    }
    // A header is at most 2 kB, so counting it after the fact still bounds
    // the walk.
    const uint64_t headerBytes = 2 * (header.nameLength + 1) + (header.nameLength == 0 ? 0 : 12);
    if (headerBytes > left) return WalkOutcome::limitReached;
    left -= headerBytes;
    if (header.nameLength == 0) return WalkOutcome::complete;
    WalkedEntry entry;
    entry.name.assign(header.name, header.nameLength);
    entry.size = header.size;
    entry.checksum = header.checksum;
    for (uint64_t remaining = entry.size; remaining > 0;) {
      const size_t size = remaining < kContentChunkSize ? remaining : kContentChunkSize;
      if (size > left) return WalkOutcome::limitReached;
      left -= size;
      const unsigned char* piece = nullptr;
      if (takeContentPiece(reader, size, scratch, &piece) != PayloadStatus::ok) {
        return WalkOutcome::decodeFailed;
      }
      if (entries != nullptr) entry.contents.append(reinterpret_cast<const char*>(piece), size);
      remaining -= size;
    }
    if (entries != nullptr) entries->push_back(std::move(entry));
  }
}

WalkResult walkEntries(const unsigned char* data, size_t length) {
  WalkResult result;
  PayloadReader reader;
  if (beginPayloadReader(reader, data + kAttachedHeaderSize, length - kAttachedHeaderSize) ==
      PayloadStatus::ok) {
    result.outcome = walkEntries(reader, UINT64_MAX, &result.entries);
  }
  endPayloadReader(reader);
  return result;
}
