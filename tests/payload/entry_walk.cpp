#include "entry_walk.h"

#include "payload/format.h"

WalkOutcome walkEntries(PayloadReader& reader, bool keepContents, uint64_t contentLimit,
                        std::vector<WalkedEntry>& entries) {
  unsigned char chunk[kContentChunkSize];
  uint64_t contentSeen = 0;
  for (;;) {
    WalkedEntry entry;
    for (;;) {
      unsigned char unit[2];
      if (takePayload(reader, unit, 2) != PayloadStatus::ok) return WalkOutcome::decodeFailed;
      const char16_t value = static_cast<char16_t>(unit[0] | unit[1] << 8);
      if (value == 0) break;
      if (entry.name.size() == kEntryNameCapacity - 1) return WalkOutcome::nameTooLong;
      entry.name.push_back(value);
    }
    if (entry.name.empty()) return WalkOutcome::complete;
    unsigned char field[8];
    if (takePayload(reader, field, 8) != PayloadStatus::ok) return WalkOutcome::decodeFailed;
    entry.size = loadU64(field);
    if (takePayload(reader, field, 4) != PayloadStatus::ok) return WalkOutcome::decodeFailed;
    entry.checksum = loadU32(field);
    if (entry.size > contentLimit - contentSeen) return WalkOutcome::limitReached;
    contentSeen += entry.size;
    for (uint64_t remaining = entry.size; remaining > 0;) {
      const size_t piece = remaining < kContentChunkSize ? remaining : kContentChunkSize;
      if (takePayload(reader, chunk, piece) != PayloadStatus::ok) {
        return WalkOutcome::decodeFailed;
      }
      if (keepContents) entry.contents.append(reinterpret_cast<const char*>(chunk), piece);
      remaining -= piece;
    }
    entries.push_back(std::move(entry));
  }
}

WalkResult walkEntries(const unsigned char* data, size_t length, bool keepContents,
                       uint64_t contentLimit) {
  WalkResult result;
  PayloadReader reader;
  if (beginPayloadReader(reader, data + kAttachedHeaderSize, length - kAttachedHeaderSize) ==
      PayloadStatus::ok) {
    result.outcome = walkEntries(reader, keepContents, contentLimit, result.entries);
  }
  endPayloadReader(reader);
  return result;
}
