// The entry loop. It chooses where a pass writes (the staged tree of a first
// start, or the found target directory file by file), checks what is there,
// and hands each entry to be written or skipped, in stream order. From the
// first check to the last file in place no other launcher works on the
// directory; the lock is released before the child starts.
#include <windows.h>

#include "payload/cache_check.h"
#include "payload/entry_header.h"
#include "payload/existing_file.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "payload/frame_workers.h"
#include "payload/metadata_check.h"
#include "payload/packed_entry_table.h"
#include "payload/partial_file.h"
#include "payload/reader.h"
#include "payload/staged_tree.h"
#include "payload/unpack_progress.h"
#include "target/directories.h"
#include "target/directory_lock.h"

PathBuffer childProgramPath;

namespace {

// The current entry's name, size and stored checksum, its path below the
// target directory and, on a first start, below the staged tree.
PayloadEntryHeader entry;
PathBuffer entryPath;
Utf16Unit stagedEntryPath[kStagedPathCapacity];
unsigned char chunkBuffer[kContentChunkSize];
// The target directory without trailing backslashes.
PathBuffer targetPath;
bool stagingTree = false;
// Per entry of a trusted table: an EntryState.
unsigned char entryStates[kEntryTableCapacity];
// Whether this pass ends with a record of the check by size and time: only
// while every entry the stream holds is the table's, in its order.
bool recording = false;

// The stream has no index: contents of a file already in place are still
// decoded, and dropped. They count as done where the progress counts them.
void skipContents(uint64_t remaining, bool counted) {
  while (remaining > 0) {
    const size_t piece =
        remaining < kContentChunkSize ? static_cast<size_t>(remaining) : kContentChunkSize;
    readContentPiece(piece, chunkBuffer);
    if (counted) countUnpackedBytes(piece);
    remaining -= piece;
  }
}

// Names are joined as they stand, after one backslash; a path that does not
// fit aborts before anything of this entry is written.
void joinEntryPath(const Utf16Unit* targetDirectory, const Utf16Unit* name) {
  copyText(entryPath, kPathCapacity, targetDirectory);
  appendUnit(entryPath, kPathCapacity, u'\\');
  appendText(entryPath, kPathCapacity, name);
  if (childProgramPath[0] == 0) copyText(childProgramPath, kPathCapacity, entryPath);
}

// Writes the current entry's file: in place in the staged tree, whose
// folders this pass made, or aside and then over its name in a found target
// directory.
void writeEntry() {
  if (stagingTree) {
    writeFileInPlace(stagedEntryPath, entryPath, entry.size);
  } else {
    createEntryDirectories(entryPath);
    writeFileAside(entryPath, entry.size);
  }
}

// One entry of the single pass: its file is checked as it comes, and written
// unless it holds the entry's contents.
void unpackCheckedEntry(const Utf16Unit* targetDirectory) {
  joinEntryPath(targetDirectory, entry.name);
  const Utf16Unit* writtenPath = entryPath;
  if (stagingTree) {
    copyText(stagedEntryPath, kStagedPathCapacity, stagedTreeRoot());
    appendUnit(stagedEntryPath, kStagedPathCapacity, u'\\');
    appendText(stagedEntryPath, kStagedPathCapacity, entry.name);
    writtenPath = stagedEntryPath;
    // A first start finds almost no folder of its staged tree, so it makes
    // each one before its first file is looked for.
    createEntryDirectories(writtenPath);
  }
  // A folder this run made holds only what this run wrote, so its files need
  // no look: on a first start that saves a failed open per file.
  const bool mayExist = !isEntryDirectoryMadeThisRun(writtenPath);
  if (mayExist &&
      fileChecksum(writtenPath, mainCheckBuffer(), kCheckBufferSize) == entry.checksum) {
    skipContents(entry.size, /*counted=*/true);
  } else {
    writeEntry();
  }
  countUnpackedEntry();
}

// Decodes every entry up to the end-of-list entry, checking each file.
void unpackInOnePass(const Utf16Unit* targetDirectory) {
  for (;;) {
    readEntryHeader(entry);
    if (entry.nameLength == 0) return;  // the end-of-list entry
    unpackCheckedEntry(targetDirectory);
  }
}

// Writes the entries the check marked, decoding only the frames that hold
// them, each as far as the last of them. Should an entry's header differ
// from the table after all, the whole stream is unpacked the single pass's
// way, which checks every file again.
void repairFromTable(const Utf16Unit* targetDirectory, const AttachedInput& input,
                     const EntryTableView& table) {
  for (uint32_t f = 0; f < table.frameCount; ++f) {
    const TableFrame frame = tableFrame(table, f);
    uint32_t end = frame.firstEntry + frame.entryCount;
    while (end > frame.firstEntry && entryStates[end - 1] != kEntryToWrite) --end;
    if (end == frame.firstEntry) continue;
    openPayloadReader(input.data + frame.inputOffset, frame.compressedLength);
    for (uint32_t index = frame.firstEntry; index < end; ++index) {
      readEntryHeader(entry);
      if (!entryHeaderMatches(entry, tableEntry(table, index))) {
        recording = false;
        closePayloadReader();
        openPayloadReader(input.data, input.length);
        unpackInOnePass(targetDirectory);
        closePayloadReader();
        return;
      }
      joinEntryPath(targetDirectory, entry.name);
      if (entryStates[index] == kEntryToWrite) {
        writeEntry();
        countUnpackedEntry();
      } else {
        skipContents(entry.size, /*counted=*/false);
      }
    }
    closePayloadReader();
  }
}

// A found target directory with a trusted table: every file is checked
// first (checking by size and time, those the record does not vouch for),
// and nothing is decoded when all of them hold their contents.
void unpackWithTable(const Utf16Unit* targetDirectory, const AttachedInput& input,
                     const EntryTableView& table) {
  if (recording) {
    settleFromRecord(targetPath, entryStates);
  } else {
    for (uint32_t i = 0; i < table.entryCount; ++i) entryStates[i] = kEntryToCheck;
  }
  const uint32_t toWrite = checkFilesAgainstTable(table, targetDirectory, entryStates);
  if (table.entryCount > 0) joinEntryPath(targetDirectory, tableEntry(table, 0).name);
  if (toWrite == 0) return;
  uint64_t bytes = 0;
  for (uint32_t i = 0; i < table.entryCount; ++i) {
    if (entryStates[i] == kEntryToWrite) bytes += tableEntry(table, i).size;
  }
  beginUnpackProgress(bytes, toWrite);
  repairFromTable(targetDirectory, input, table);
}

// A first start with a trusted table: the frames are decoded on every core
// into the staged tree. A tree this run made holds nothing yet; one a killed
// start left is checked against the table first. Every path is joined, and
// every folder made, on this thread before any worker starts, so a path too
// long aborts before anything is written.
void unpackStagedTreeWithTable(const Utf16Unit* targetDirectory, const AttachedInput& input,
                               const EntryTableView& table) {
  copyText(stagedEntryPath, kStagedPathCapacity, stagedTreeRoot());
  appendText(stagedEntryPath, kStagedPathCapacity, u"\\x");
  const bool fresh = isEntryDirectoryMadeThisRun(stagedEntryPath);
  for (uint32_t i = 0; i < table.entryCount; ++i) {
    entryStates[i] = fresh ? kEntryToWrite : kEntryToCheck;
  }
  if (!fresh) checkFilesAgainstTable(table, stagedTreeRoot(), entryStates);
  for (uint32_t i = 0; i < table.entryCount; ++i) {
    const TableEntry listed = tableEntry(table, i);
    joinEntryPath(targetDirectory, listed.name);
    if (entryStates[i] != kEntryToWrite) continue;
    copyText(stagedEntryPath, kStagedPathCapacity, stagedTreeRoot());
    appendUnit(stagedEntryPath, kStagedPathCapacity, u'\\');
    appendText(stagedEntryPath, kStagedPathCapacity, listed.name);
    createEntryDirectories(stagedEntryPath);
  }
  beginUnpackProgress(table.contentBytes, table.entryCount);
  if (unpackFramesInParallel(table, input.data, input.length, entryStates, stagedTreeRoot(),
                             targetDirectory) == FramesOutcome::disagrees) {
    recording = false;
    openPayloadReader(input.data, input.length);
    unpackInOnePass(targetDirectory);
    closePayloadReader();
  }
}

}  // namespace

bool trustEntryTable(const unsigned char* table, uint32_t length, const AttachedInput& input,
                     EntryTableView& view) {
  const uint64_t plainLength = packedEntryTableLength(table, length);
  if (plainLength == 0) return false;
  // Page-aligned, so names are read in place from it.
  unsigned char* const plain = static_cast<unsigned char*>(
      VirtualAlloc(/*lpAddress=*/nullptr, /*dwSize=*/static_cast<SIZE_T>(plainLength),
                   /*flAllocationType=*/MEM_RESERVE | MEM_COMMIT, /*flProtect=*/PAGE_READWRITE));
  // Without the memory the start goes on as without a table.
  if (plain == nullptr) return false;
  if (unpackEntryTable(table, length, plain, static_cast<size_t>(plainLength)) &&
      entryTableProblem(plain, static_cast<size_t>(plainLength), input.length,
                        attachedDataEdgeCrc(input.data, input.length), view) == nullptr) {
    return true;
  }
  VirtualFree(plain, 0, MEM_RELEASE);
  return false;
}

void unpackPayload(const Utf16Unit* targetDirectory, const AttachedInput& input,
                   const EntryTableView* table, bool checkByMetadata) {
  lockTargetDirectory(targetDirectory);
  copyText(targetPath, kPathCapacity, targetDirectory);
  dropTrailingBackslashes(targetPath);
  recording = table != nullptr && checkByMetadata;
  // The record's time comes before anything of this pass is read or written.
  if (recording) beginRecordedPass(*table);
  prepareStagingFolder(targetPath);
  stagingTree = beginStagedTree(targetPath);
  if (table != nullptr && !stagingTree) {
    unpackWithTable(targetDirectory, input, *table);
  } else if (table != nullptr) {
    unpackStagedTreeWithTable(targetDirectory, input, *table);
  } else {
    // Without a table the totals are unknown, and nothing is shown.
    openPayloadReader(input.data, input.length);
    unpackInOnePass(targetDirectory);
    closePayloadReader();
  }
  if (stagingTree) {
    putStagedTreeInPlace();
  } else {
    removeStagingFolder();
  }
  finishUnpackProgress();
  if (table != nullptr && checkByMetadata) endRecordedPass(targetPath, recording);
  unlockTargetDirectory();
}
