// The record a launcher in metadata mode keeps in the target directory: for
// each entry of its table, the last-write time and file id its file had when
// this launcher last found it whole or wrote it, so that a later start reads
// only the files whose listing differs. A record vouches for nothing it was
// not written for: it is trusted only when its own checksum holds, it names
// this launcher's entry table (another build's record is ignored) and the
// directory it lies in (a copy of the folder, or a record moved from another
// directory, is ignored), and its time is not still to come (a clock set
// back). Anything else means every file is checked by its contents.
//
// Layout, little-endian:
//   0  8  kCacheRecordSignature
//   8  4  u32 the record's length in bytes, final checksum included
//  12  4  u32 entry count of the table it was written for
//  16  4  u32 that table's own final CRC
//  20  4  u32 that table's length in bytes
//  24  8  u64 the attached data's input length the table names
//  32  8  u64 the target directory's file id
//  40  4  u32 the target directory's volume serial number
//  44  4  zero
//  48  8  u64 the record's time (a FILETIME count), taken before the pass
//             that wrote it read or wrote any file
//  56     per entry, in table order, kRecordedFileSize bytes:
//           0  8  u64 last-write time, or kUnknownTime for a file not vouched for
//           8  8  u64 file id
//  end    u32 CRC-32 of every byte before it
//
// The racy rule. A file system gives a change the current time, to its own
// granularity (100 ns on NTFS, but only as fine as the system clock ticks;
// 2 s on FAT). A file whose recorded time lies at least kRacyInterval before
// the record's time was last changed well before the pass confirmed its
// contents; any later change gives it a later time, which the listing shows.
// A file changed less than that before, or after, may have been changed
// again within the same tick after the pass read it, keeping its time: its
// contents are read again, as git reads a file whose time is too close to
// its index's.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"
#include "payload/entry_table.h"

// The record's name at the top of the target directory; tavmor-pack refuses
// an entry of that name.
constexpr Utf16Unit kCacheRecordName[] = u".tavmor-record";
constexpr unsigned char kCacheRecordSignature[8] = {'T', 'A', 'V', 'R', 'E', 'C', '0', '1'};
constexpr size_t kCacheRecordHeaderSize = 56;
constexpr size_t kRecordedFileSize = 16;
// Two seconds in FILETIME units: FAT's granularity, the coarsest a user's
// folder is likely to have.
constexpr uint64_t kRacyInterval = 20000000;
constexpr uint64_t kUnknownTime = UINT64_MAX;

// What a file looked like: its last-write time and file id.
struct FileStamp {
  uint64_t lastWriteTime;
  uint64_t fileId;
};
constexpr FileStamp kUnknownStamp = {kUnknownTime, 0};

// What a record belongs to: one build's entry table over one directory.
struct RecordOwner {
  uint32_t entryCount;
  uint32_t tableCrc;
  uint32_t tableLength;
  uint64_t inputLength;
  uint64_t directoryId;
  uint32_t volumeSerial;
};
RecordOwner recordOwner(const EntryTableView& table, uint32_t volumeSerial, uint64_t directoryId);

// Bytes of a record for `entryCount` entries.
uint64_t cacheRecordSize(uint32_t entryCount);

// Entry `index`'s stamp in a record, and setting it.
FileStamp recordedStamp(const unsigned char* record, uint32_t index);
void storeRecordedStamp(unsigned char* record, uint32_t index, const FileStamp& stamp);

// Fills the header and the final checksum of the cacheRecordSize bytes at
// `record`, whose stamps are set.
void sealCacheRecord(unsigned char* record, const RecordOwner& owner, uint64_t recordTime);

// What is wrong with the `size` bytes at `record` as the record of `owner`
// read at the time `now`, or nullptr when it can be trusted; then
// `recordTime` is its time. Reads nothing outside those bytes.
const char* cacheRecordProblem(const unsigned char* record, uint64_t size, const RecordOwner& owner,
                               uint64_t now, uint64_t* recordTime);

// Whether a file found as `found` still holds what it held when it was
// recorded as `recorded` in a record of time `recordTime`: the same time and
// id, and that time is not racy.
bool recordVouchesFor(const FileStamp& recorded, const FileStamp& found, uint64_t recordTime);
