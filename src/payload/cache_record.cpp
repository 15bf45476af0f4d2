#include "payload/cache_record.h"

#include <cstring>

#include "payload/format.h"

RecordOwner recordOwner(const EntryTableView& table, uint32_t volumeSerial, uint64_t directoryId) {
  const uint32_t tableLength = loadU32(table.bytes + 8);
  RecordOwner owner;
  owner.entryCount = table.entryCount;
  owner.tableCrc = loadU32(table.bytes + tableLength - 4);
  owner.tableLength = tableLength;
  owner.inputLength = loadU64(table.bytes + 24);
  owner.directoryId = directoryId;
  owner.volumeSerial = volumeSerial;
  return owner;
}

uint64_t cacheRecordSize(uint32_t entryCount) {
  return kCacheRecordHeaderSize + uint64_t{entryCount} * kRecordedFileSize + 4;
}

FileStamp recordedStamp(const unsigned char* record, uint32_t index) {
  const unsigned char* const slot =
      record + kCacheRecordHeaderSize + uint64_t{index} * kRecordedFileSize;
  return FileStamp{loadU64(slot), loadU64(slot + 8)};
}

void storeRecordedStamp(unsigned char* record, uint32_t index, const FileStamp& stamp) {
  unsigned char* const slot = record + kCacheRecordHeaderSize + uint64_t{index} * kRecordedFileSize;
  storeU64(slot, stamp.lastWriteTime);
  storeU64(slot + 8, stamp.fileId);
}

void sealCacheRecord(unsigned char* record, const RecordOwner& owner, uint64_t recordTime) {
  const uint64_t size = cacheRecordSize(owner.entryCount);
  std::memcpy(record, kCacheRecordSignature, sizeof kCacheRecordSignature);
  storeU32(record + 8, static_cast<uint32_t>(size));
  storeU32(record + 12, owner.entryCount);
  storeU32(record + 16, owner.tableCrc);
  storeU32(record + 20, owner.tableLength);
  storeU64(record + 24, owner.inputLength);
  storeU64(record + 32, owner.directoryId);
  storeU32(record + 40, owner.volumeSerial);
  storeU32(record + 44, 0);
  storeU64(record + 48, recordTime);
  storeU32(record + size - 4, extendCrc(0, record, size - 4));
}

const char* cacheRecordProblem(const unsigned char* record, uint64_t size, const RecordOwner& owner,
                               uint64_t now, uint64_t* recordTime) {
  const uint64_t expected = cacheRecordSize(owner.entryCount);
  if (size < kCacheRecordHeaderSize + 4) return "too short";
  if (std::memcmp(record, kCacheRecordSignature, sizeof kCacheRecordSignature) != 0) {
    return "no signature";
  }
  if (size != expected || loadU32(record + 8) != expected) return "a wrong length";
  if (extendCrc(0, record, size - 4) != loadU32(record + size - 4)) return "a wrong checksum";
  if (loadU32(record + 12) != owner.entryCount || loadU32(record + 16) != owner.tableCrc ||
      loadU32(record + 20) != owner.tableLength || loadU64(record + 24) != owner.inputLength) {
    return "written for another build";
  }
  if (loadU64(record + 32) != owner.directoryId || loadU32(record + 40) != owner.volumeSerial) {
    return "written for another directory";
  }
  const uint64_t time = loadU64(record + 48);
  if (time > now) return "a time still to come";
  *recordTime = time;
  return nullptr;
}

bool recordVouchesFor(const FileStamp& recorded, const FileStamp& found, uint64_t recordTime) {
  return recorded.lastWriteTime != kUnknownTime && recorded.lastWriteTime == found.lastWriteTime &&
         recorded.fileId == found.fileId && recordTime >= kRacyInterval &&
         recorded.lastWriteTime <= recordTime - kRacyInterval;
}
