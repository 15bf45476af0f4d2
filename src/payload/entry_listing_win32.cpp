#include <windows.h>

#include "payload/entry_listing.h"
#include "payload/worker_threads.h"

namespace {

const wchar_t* wide(const Utf16Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

// Names are found through two open-addressing tables of entry indices plus
// one (0 marks a free slot), at most half full: one keyed by each entry's
// whole name, one by the folder part of its name, whose first entry stands
// for the folder. The folders in the order first met follow them.
struct Tables {
  uint32_t* names;
  uint32_t* folders;
  uint32_t mask;
  uint32_t* folderList;
  uint32_t folderCount;
};

uint32_t slotCount(uint32_t entryCount) {
  uint32_t slots = 2;
  while (slots < 2 * uint64_t{entryCount}) slots *= 2;
  return slots;
}

constexpr uint32_t kHashStart = 2166136261u;
uint32_t mixUnit(uint32_t hash, Utf16Unit unit) { return (hash ^ unit) * 16777619u; }
uint32_t hashUnits(uint32_t hash, const Utf16Unit* units, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) hash = mixUnit(hash, units[i]);
  return hash;
}

bool sameUnits(const Utf16Unit* a, const Utf16Unit* b, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Units of the entry's folder part, without the backslash: 0 at the top.
uint32_t folderLength(const TableEntry& entry) {
  uint32_t length = entry.nameLength;
  while (length > 0 && entry.name[length - 1] != u'\\') --length;
  return length > 0 ? length - 1 : 0;
}

void fillTables(const EntryTableView& table, Tables& tables) {
  for (uint32_t index = 0; index < table.entryCount; ++index) {
    const TableEntry entry = tableEntry(table, index);
    uint32_t slot = hashUnits(kHashStart, entry.name, entry.nameLength) & tables.mask;
    while (tables.names[slot] != 0) slot = (slot + 1) & tables.mask;
    tables.names[slot] = index + 1;

    const uint32_t length = folderLength(entry);
    slot = hashUnits(kHashStart, entry.name, length) & tables.mask;
    for (;;) {
      const uint32_t held = tables.folders[slot];
      if (held == 0) {
        tables.folders[slot] = index + 1;
        tables.folderList[tables.folderCount++] = index;
        break;
      }
      const TableEntry other = tableEntry(table, held - 1);
      if (folderLength(other) == length && sameUnits(other.name, entry.name, length)) break;
      slot = (slot + 1) & tables.mask;
    }
  }
}

// The entry named `folder` (its first `folderUnits` units), a backslash
// unless at the top, and the `length` units at `name`; the probe starts from
// the hash of all of that, or -1 when there is none.
int64_t findEntry(const EntryTableView& table, const Tables& tables, const TableEntry& folder,
                  uint32_t folderUnits, uint32_t hash, const Utf16Unit* name, uint32_t length) {
  const uint32_t separator = folderUnits > 0 ? 1 : 0;
  for (uint32_t slot = hash & tables.mask; tables.names[slot] != 0;
       slot = (slot + 1) & tables.mask) {
    const uint32_t index = tables.names[slot] - 1;
    const TableEntry entry = tableEntry(table, index);
    if (entry.nameLength == folderUnits + separator + length &&
        sameUnits(entry.name + folderUnits + separator, name, length) &&
        sameUnits(entry.name, folder.name, folderUnits) &&
        (separator == 0 || entry.name[folderUnits] == u'\\')) {
      return index;
    }
  }
  return -1;
}

// Folders are listed on a few threads at once: under Wine each name listed
// costs a status call of the host, and on Windows a folder's first listing
// may wait for the disk. Each thread lists whole folders, so each entry's
// stamp is set by one thread only. What every thread reads is set before
// the first starts.
constexpr uint32_t kMaxListingThreads = 8;
// One call returns as many names as fit; FILE_ID_BOTH_DIR_INFO needs 8-byte
// alignment, which the buffers' place in the listing's memory keeps.
constexpr size_t kListingBufferSize = 64 * 1024;
struct ListingThread {
  unsigned char buffer[kListingBufferSize];
  PathBuffer folderPath;
};
const EntryTableView* listedTable = nullptr;
const Tables* listedTables = nullptr;
const Utf16Unit* listedTarget = nullptr;
FileStamp* listedFound = nullptr;
ListingThread* listingThreads = nullptr;
volatile LONG nextFolderToList = 0;

// Lists the folder of the entry `representative` into the stamps found.
void listFolder(uint32_t representative, ListingThread& thread) {
  const EntryTableView& table = *listedTable;
  const Utf16Unit* const target = listedTarget;
  Utf16Unit* const folderPath = thread.folderPath;
  unsigned char* const listingBuffer = thread.buffer;
  const TableEntry folder = tableEntry(table, representative);
  const uint32_t folderUnits = folderLength(folder);
  const size_t targetLength = unitLength(target);
  // A folder whose path does not fit: its entries' paths do not either, and
  // their writes report it.
  if (targetLength + 1 + folderUnits + 1 > kPathCapacity) return;
  for (size_t i = 0; i < targetLength; ++i) folderPath[i] = target[i];
  size_t at = targetLength;
  if (folderUnits > 0) folderPath[at++] = u'\\';
  for (uint32_t i = 0; i < folderUnits; ++i) folderPath[at++] = folder.name[i];
  folderPath[at] = 0;

  const HANDLE handle = CreateFileW(
      /*lpFileName=*/wide(folderPath), /*dwDesiredAccess=*/FILE_LIST_DIRECTORY,
      /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/OPEN_EXISTING,
      /*dwFlagsAndAttributes=*/FILE_FLAG_BACKUP_SEMANTICS, /*hTemplateFile=*/nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  uint32_t prefixHash = hashUnits(kHashStart, folder.name, folderUnits);
  if (folderUnits > 0) prefixHash = mixUnit(prefixHash, u'\\');
  for (bool first = true;; first = false) {
    if (!GetFileInformationByHandleEx(
            /*hFile=*/handle,
            /*FileInformationClass=*/
            first ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
            /*lpFileInformation=*/listingBuffer, /*dwBufferSize=*/kListingBufferSize)) {
      break;  // ERROR_NO_MORE_FILES, or a folder that cannot be read
    }
    for (size_t offset = 0;;) {
      const auto* const listed =
          reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(listingBuffer + offset);
      const Utf16Unit* const name = reinterpret_cast<const Utf16Unit*>(listed->FileName);
      const uint32_t length = listed->FileNameLength / sizeof(Utf16Unit);
      if ((listed->FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          0) {
        const int64_t index = findEntry(table, *listedTables, folder, folderUnits,
                                        hashUnits(prefixHash, name, length), name, length);
        if (index >= 0 && static_cast<uint64_t>(listed->EndOfFile.QuadPart) ==
                              tableEntry(table, static_cast<uint32_t>(index)).size) {
          listedFound[index] = FileStamp{static_cast<uint64_t>(listed->LastWriteTime.QuadPart),
                                         static_cast<uint64_t>(listed->FileId.QuadPart)};
        }
      }
      if (listed->NextEntryOffset == 0) break;
      offset += listed->NextEntryOffset;
    }
  }
  CloseHandle(handle);
}

void listClaimedFolders(uint32_t thread) {
  for (;;) {
    const LONG claimed = InterlockedIncrement(&nextFolderToList) - 1;
    if (static_cast<uint32_t>(claimed) >= listedTables->folderCount) return;
    listFolder(listedTables->folderList[claimed], listingThreads[thread]);
  }
}

// The tables' bytes, rounded up so that the threads' buffers that follow
// them are 8-aligned.
uint64_t tableBytes(uint32_t entryCount) {
  return (4 * (2 * uint64_t{slotCount(entryCount)} + entryCount) + 7) & ~uint64_t{7};
}

}  // namespace

uint64_t entryListingBytes(uint32_t entryCount) {
  return tableBytes(entryCount) + kMaxListingThreads * sizeof(ListingThread);
}

void listEntryFiles(const EntryTableView& table, const Utf16Unit* target, FileStamp* found,
                    void* memory) {
  const uint32_t slots = slotCount(table.entryCount);
  Tables tables;
  tables.names = static_cast<uint32_t*>(memory);
  tables.folders = tables.names + slots;
  tables.folderList = tables.folders + slots;
  tables.mask = slots - 1;
  tables.folderCount = 0;
  for (uint32_t i = 0; i < 2 * slots; ++i) tables.names[i] = 0;
  for (uint32_t i = 0; i < table.entryCount; ++i) found[i] = kUnknownStamp;
  fillTables(table, tables);
  listedTable = &table;
  listedTables = &tables;
  listedTarget = target;
  listedFound = found;
  listingThreads = reinterpret_cast<ListingThread*>(static_cast<unsigned char*>(memory) +
                                                    tableBytes(table.entryCount));
  nextFolderToList = 0;
  runOnWorkerThreads(workerThreadsFor(tables.folderCount, kMaxListingThreads), listClaimedFolders);
}

bool directoryIdentity(const Utf16Unit* path, uint32_t* volumeSerial, uint64_t* fileId) {
  const HANDLE handle = CreateFileW(
      /*lpFileName=*/wide(path), /*dwDesiredAccess=*/FILE_READ_ATTRIBUTES,
      /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/OPEN_EXISTING,
      /*dwFlagsAndAttributes=*/FILE_FLAG_BACKUP_SEMANTICS, /*hTemplateFile=*/nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  *volumeSerial = information.dwVolumeSerialNumber;
  *fileId = (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  return true;
}
