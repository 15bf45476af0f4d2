#include <windows.h>

#include <cstddef>

#include "payload/cache_check.h"
#include "payload/cache_record.h"
#include "payload/entry_listing.h"
#include "payload/extract.h"
#include "payload/metadata_check.h"
#include "payload/native_path.h"
#include "payload/partial_file.h"

namespace {

const wchar_t* wide(const Utf16Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

// The pass being recorded. Its memory holds the record as read and then as
// written, the stamps found for each entry (8-aligned) and the listing's
// tables: 16 bytes per entry twice and about 20 more, which for the largest
// table (kEntryTableCapacity entries) comes near 60 MB, so it is allocated
// here and released at the end of the pass rather than kept in the image.
const EntryTableView* recordedTable = nullptr;
uint64_t passTime = 0;
unsigned char* passMemory = nullptr;
uint64_t recordSize = 0;
FileStamp* found = nullptr;
void* listingMemory = nullptr;
bool everyEntrySettled = false;

constexpr size_t kRecordPathCapacity = kPathCapacity + 32;
Utf16Unit recordPath[kRecordPathCapacity];
Utf16Unit temporaryPath[kRecordPathCapacity];

uint64_t currentTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

uint64_t roundUpTo8(uint64_t size) { return (size + 7) & ~uint64_t{7}; }

void setRecordPaths(const Utf16Unit* target) {
  copyText(recordPath, kRecordPathCapacity, target);
  appendUnit(recordPath, kRecordPathCapacity, u'\\');
  appendText(recordPath, kRecordPathCapacity, kCacheRecordName);
  copyText(temporaryPath, kRecordPathCapacity, recordPath);
  appendText(temporaryPath, kRecordPathCapacity, kPartialSuffix);
}

// Reads the record file into passMemory; false unless it has exactly
// recordSize bytes.
bool readRecord() {
  const HANDLE file = CreateFileW(
      /*lpFileName=*/wide(recordPath), /*dwDesiredAccess=*/GENERIC_READ,
      /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/OPEN_EXISTING,
      /*dwFlagsAndAttributes=*/FILE_FLAG_SEQUENTIAL_SCAN, /*hTemplateFile=*/nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool whole = GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) == recordSize;
  for (uint64_t at = 0; whole && at < recordSize;) {
    const uint64_t left = recordSize - at;
    DWORD got = 0;
    whole =
        ReadFile(file, passMemory + at, left < 0x40000000 ? static_cast<DWORD>(left) : 0x40000000,
                 &got, /*lpOverlapped=*/nullptr) &&
        got > 0;
    at += got;
  }
  CloseHandle(file);
  return whole;
}

alignas(FILE_RENAME_INFO) unsigned char renameRequest[offsetof(FILE_RENAME_INFO, FileName) +
                                                      kNativePathCapacity * sizeof(Utf16Unit)];

// Puts the written temporary file, open as `file`, over the record's name,
// and closes it: by its handle, so that no other launcher can take the
// temporary name in between, or else by name once closed. A scanner's brief
// hold is waited out, and a read-only attribute cleared. False when the
// record stays as it was.
bool moveRecordIntoPlace(HANDLE file) {
  uint32_t requestSize = 0;
  bool byHandle = prepareRenameByHandle(recordPath, /*replace=*/true, renameRequest, &requestSize);
  if (!byHandle) CloseHandle(file);
  int pausesLeft = kRetryPauses;
  bool attributesCleared = false;
  for (;;) {
    const bool moved = byHandle ? SetFileInformationByHandle(
                                      /*hFile=*/file, /*FileInformationClass=*/FileRenameInfo,
                                      /*lpFileInformation=*/renameRequest,
                                      /*dwBufferSize=*/requestSize) != 0
                                : MoveFileExW(/*lpExistingFileName=*/wide(temporaryPath),
                                              /*lpNewFileName=*/wide(recordPath),
                                              /*dwFlags=*/MOVEFILE_REPLACE_EXISTING) != 0;
    if (moved) break;
    const DWORD error = GetLastError();
    const bool heldOpen = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (byHandle && !heldOpen) {  // a file system that renames only by name
      byHandle = false;
      CloseHandle(file);
      continue;
    }
    if (error == ERROR_ACCESS_DENIED && !attributesCleared) {
      attributesCleared = true;
      if (SetFileAttributesW(wide(recordPath), FILE_ATTRIBUTE_NORMAL)) continue;
    }
    if (!heldOpen || !pauseBeforeRetry(&pausesLeft)) {
      if (byHandle) CloseHandle(file);
      return false;
    }
  }
  if (byHandle) CloseHandle(file);
  return true;
}

// Writes the sealed record beside its name and moves it into place; on any
// failure the temporary file is removed and the old record stays, which
// still vouches only for files that have not changed since.
void writeRecord() {
  const HANDLE file = CreateFileW(
      /*lpFileName=*/wide(temporaryPath), /*dwDesiredAccess=*/GENERIC_WRITE | DELETE,
      /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr,
      /*dwCreationDisposition=*/CREATE_ALWAYS, /*dwFlagsAndAttributes=*/0,
      /*hTemplateFile=*/nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  bool written = true;
  for (uint64_t at = 0; written && at < recordSize;) {
    const uint64_t left = recordSize - at;
    DWORD put = 0;
    written = WriteFile(file, passMemory + at,
                        left < 0x40000000 ? static_cast<DWORD>(left) : 0x40000000, &put,
                        /*lpOverlapped=*/nullptr) &&
              put > 0;
    at += put;
  }
  if (!written) CloseHandle(file);
  if (!written || !moveRecordIntoPlace(file)) DeleteFileW(wide(temporaryPath));
}

}  // namespace

void beginRecordedPass(const EntryTableView& table) {
  recordedTable = &table;
  passTime = currentTime();
  everyEntrySettled = false;
  recordSize = cacheRecordSize(table.entryCount);
  const uint64_t stampsOffset = roundUpTo8(recordSize);
  const uint64_t listingOffset = stampsOffset + uint64_t{table.entryCount} * sizeof(FileStamp);
  passMemory = static_cast<unsigned char*>(VirtualAlloc(
      /*lpAddress=*/nullptr, /*dwSize=*/listingOffset + entryListingBytes(table.entryCount),
      /*flAllocationType=*/MEM_RESERVE | MEM_COMMIT, /*flProtect=*/PAGE_READWRITE));
  if (passMemory == nullptr) return;
  found = reinterpret_cast<FileStamp*>(passMemory + stampsOffset);
  listingMemory = passMemory + listingOffset;
  for (uint32_t i = 0; i < table.entryCount; ++i) found[i] = kUnknownStamp;
  stampWrittenFiles(passTime - kRacyInterval);
}

void settleFromRecord(const Utf16Unit* target, unsigned char* states) {
  const EntryTableView& table = *recordedTable;
  for (uint32_t i = 0; i < table.entryCount; ++i) states[i] = kEntryToCheck;
  if (passMemory == nullptr) return;
  listEntryFiles(table, target, found, listingMemory);
  setRecordPaths(target);
  uint32_t volumeSerial = 0;
  uint64_t directoryId = 0;
  uint64_t recordTime = 0;
  if (!directoryIdentity(target, &volumeSerial, &directoryId) || !readRecord() ||
      cacheRecordProblem(passMemory, recordSize, recordOwner(table, volumeSerial, directoryId),
                         passTime, &recordTime) != nullptr) {
    return;
  }
  uint32_t settled = 0;
  for (uint32_t i = 0; i < table.entryCount; ++i) {
    if (recordVouchesFor(recordedStamp(passMemory, i), found[i], recordTime)) {
      states[i] = kEntryWhole;
      ++settled;
    }
  }
  everyEntrySettled = settled == table.entryCount;
}

void endRecordedPass(const Utf16Unit* target, bool complete) {
  stampWrittenFiles(0);
  if (passMemory == nullptr) return;
  const EntryTableView& table = *recordedTable;
  uint32_t volumeSerial = 0;
  uint64_t directoryId = 0;
  if (complete && !everyEntrySettled && directoryIdentity(target, &volumeSerial, &directoryId)) {
    // One listing, in place of asking each written file for its id as it
    // is closed: that costs a volume query per file, about half a
    // millisecond under Wine.
    listEntryFiles(table, target, found, listingMemory);
    for (uint32_t i = 0; i < table.entryCount; ++i) storeRecordedStamp(passMemory, i, found[i]);
    sealCacheRecord(passMemory, recordOwner(table, volumeSerial, directoryId), passTime);
    setRecordPaths(target);
    writeRecord();
  }
  VirtualFree(/*lpAddress=*/passMemory, /*dwSize=*/0, /*dwFreeType=*/MEM_RELEASE);
  passMemory = nullptr;
}
