#include <windows.h>

#include "payload/cache_check.h"
#include "payload/existing_file.h"

namespace {

// What every checking thread reads; set before the first worker starts.
const EntryTableView* checkedTable = nullptr;
const Utf16Unit* checkedTarget = nullptr;
size_t checkedTargetLength = 0;
unsigned char* checkResults = nullptr;

// The next entry index to claim, shared by every checking thread: each takes
// the value it raised it to, minus one, until that passes the entry count.
volatile LONG nextEntryToCheck = 0;

// Per thread, index 0 the main thread's.
unsigned char checkBuffers[kMaxCheckThreads][kCheckBufferSize];
PathBuffer checkPaths[kMaxCheckThreads];
uint32_t writesFound[kMaxCheckThreads];

// Joins target, backslash and name into `path`, or returns false when the
// result would not fit; the write of that entry then aborts on the main
// thread, in stream order.
bool joinCheckedPath(Utf16Unit* path, const TableEntry& entry) {
  if (checkedTargetLength + 1 + entry.nameLength + 1 > kPathCapacity) return false;
  for (size_t i = 0; i < checkedTargetLength; ++i) path[i] = checkedTarget[i];
  path[checkedTargetLength] = u'\\';
  for (uint32_t i = 0; i < entry.nameLength; ++i) path[checkedTargetLength + 1 + i] = entry.name[i];
  path[checkedTargetLength + 1 + entry.nameLength] = 0;
  return true;
}

void checkClaimedEntries(uint32_t thread) {
  uint32_t found = 0;
  for (;;) {
    const LONG claimed = InterlockedIncrement(&nextEntryToCheck) - 1;
    if (static_cast<uint32_t>(claimed) >= checkedTable->entryCount) break;
    if (checkResults[claimed] != kEntryToCheck) {
      if (checkResults[claimed] == kEntryToWrite) ++found;
      continue;
    }
    const TableEntry entry = tableEntry(*checkedTable, static_cast<uint32_t>(claimed));
    const bool whole = joinCheckedPath(checkPaths[thread], entry) &&
                       fileMatches(checkPaths[thread], entry.size, entry.checksum,
                                   checkBuffers[thread], kCheckBufferSize);
    checkResults[claimed] = whole ? kEntryWhole : kEntryToWrite;
    if (!whole) ++found;
  }
  writesFound[thread] = found;
}

DWORD WINAPI checkingThread(void* thread) {
  checkClaimedEntries(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(thread)));
  return 0;
}

uint32_t logicalProcessors() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return system.dwNumberOfProcessors == 0 ? 1 : system.dwNumberOfProcessors;
}

}  // namespace

uint32_t checkFilesAgainstTable(const EntryTableView& table, const Utf16Unit* targetDirectory,
                                unsigned char* states) {
  checkedTable = &table;
  checkedTarget = targetDirectory;
  checkedTargetLength = unitLength(targetDirectory);
  checkResults = states;
  nextEntryToCheck = 0;

  uint32_t threads = logicalProcessors();
  if (threads > kMaxCheckThreads) threads = kMaxCheckThreads;
  if (threads > table.entryCount) threads = table.entryCount == 0 ? 1 : table.entryCount;
  HANDLE workers[kMaxCheckThreads];
  uint32_t started = 0;
  for (uint32_t thread = 1; thread < threads; ++thread) {
    // Before the worker starts: it may finish before CreateThread returns.
    writesFound[thread] = 0;
    // A worker that cannot start leaves its share to the others.
    const HANDLE worker = CreateThread(
        /*lpThreadAttributes=*/nullptr, /*dwStackSize=*/64 * 1024,
        /*lpStartAddress=*/checkingThread,
        /*lpParameter=*/reinterpret_cast<void*>(static_cast<uintptr_t>(thread)),
        /*dwCreationFlags=*/STACK_SIZE_PARAM_IS_A_RESERVATION, /*lpThreadId=*/nullptr);
    if (worker == nullptr) break;
    workers[started++] = worker;
  }
  checkClaimedEntries(0);
  uint32_t total = writesFound[0];
  for (uint32_t i = 0; i < started; ++i) {
    WaitForSingleObject(workers[i], INFINITE);
    CloseHandle(workers[i]);
    total += writesFound[i + 1];
  }
  return total;
}

unsigned char* mainCheckBuffer() { return checkBuffers[0]; }
