#include <windows.h>

#include "payload/cache_check.h"
#include "payload/existing_file.h"
#include "payload/worker_threads.h"

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

}  // namespace

uint32_t checkFilesAgainstTable(const EntryTableView& table, const Utf16Unit* targetDirectory,
                                unsigned char* states) {
  checkedTable = &table;
  checkedTarget = targetDirectory;
  checkedTargetLength = unitLength(targetDirectory);
  checkResults = states;
  nextEntryToCheck = 0;

  const uint32_t threads = workerThreadsFor(table.entryCount, kMaxCheckThreads);
  // Zero before any worker starts: a thread that cannot be started finds
  // nothing, and one that runs sets its own count when it is done.
  for (uint32_t thread = 0; thread < threads; ++thread) writesFound[thread] = 0;
  runOnWorkerThreads(threads, checkClaimedEntries);
  uint32_t total = 0;
  for (uint32_t thread = 0; thread < threads; ++thread) total += writesFound[thread];
  return total;
}

unsigned char* mainCheckBuffer() { return checkBuffers[0]; }
