#include "entry_walk.h"

#include "payload/format.h"

WalkOutcome walkEntries(PayloadReader& reader, uint64_t decodedLimit,
                        std::vector<WalkedEntry>* entries) {
  WalkOutcome outcome = WalkOutcome::complete;
  uint64_t left = decodedLimit;
  // One request; false, with `outcome` set, when the walk must end.
  const auto take = [&](void* destination, size_t count) {
    if (count > left) {
      outcome = WalkOutcome::limitReached;
      return false;
    }
    left -= count;
    if (takePayload(reader, destination, count) != PayloadStatus::ok) {
      outcome = WalkOutcome::decodeFailed;
      return false;
    }
    return true;
  };
  unsigned char chunk[kContentChunkSize];
  for (;;) {
    WalkedEntry entry;
    for (;;) {
      unsigned char unit[2];
      if (!take(unit, 2)) return outcome;
      const char16_t value = static_cast<char16_t>(unit[0] | unit[1] << 8);
      if (value == 0) break;
      if (entry.name.size() == kEntryNameCapacity - 1) return WalkOutcome::nameTooLong;
      entry.name.push_back(value);
    }
    if (entry.name.empty()) return WalkOutcome::complete;
    unsigned char field[8];
    if (!take(field, 8)) return outcome;
    entry.size = loadU64(field);
    if (!take(field, 4)) return outcome;
    entry.checksum = loadU32(field);
    for (uint64_t remaining = entry.size; remaining > 0;) {
      const size_t piece = remaining < kContentChunkSize ? remaining : kContentChunkSize;
      if (!take(chunk, piece)) return outcome;
      if (entries != nullptr) entry.contents.append(reinterpret_cast<const char*>(chunk), piece);
      remaining -= piece;
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
