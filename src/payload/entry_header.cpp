#include "payload/entry_header.h"

#include "diag/report.h"

EntryHeaderStatus takeEntryHeader(PayloadReader& reader, PayloadEntryHeader& header) {
  header.nameLength = 0;
  header.size = 0;
  header.checksum = 0;
  for (;;) {
    unsigned char unit[2];
    if (takePayload(reader, unit, 2) != PayloadStatus::ok) return EntryHeaderStatus::decodeFailed;
    const Utf16Unit value = static_cast<Utf16Unit>(unit[0] | unit[1] << 8);
    if (value != 0 && header.nameLength == kEntryNameCapacity - 1) {
      header.name[header.nameLength] = 0;
      return EntryHeaderStatus::nameTooLong;
    }
    header.name[header.nameLength] = value;
    if (value == 0) break;
    ++header.nameLength;
  }
  if (header.nameLength == 0) return EntryHeaderStatus::ok;
  unsigned char field[8];
  if (takePayload(reader, field, 8) != PayloadStatus::ok) return EntryHeaderStatus::decodeFailed;
  header.size = loadU64(field);
  if (takePayload(reader, field, 4) != PayloadStatus::ok) return EntryHeaderStatus::decodeFailed;
  header.checksum = loadU32(field);
  return EntryHeaderStatus::ok;
}

void readEntryHeader(PayloadEntryHeader& header) {
  if (takeEntryHeader(launcherPayloadReader(), header) != EntryHeaderStatus::ok) {
    fatalError("Error, couldn't decode attached data.");
  }
}

bool entryHeaderMatches(const PayloadEntryHeader& header, const TableEntry& listed) {
  if (header.nameLength != listed.nameLength || header.size != listed.size ||
      header.checksum != listed.checksum) {
    return false;
  }
  for (uint32_t i = 0; i < listed.nameLength; ++i) {
    if (header.name[i] != listed.name[i]) return false;
  }
  return true;
}
