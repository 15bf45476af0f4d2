#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader: the window a frame asks for
#include <windows.h>
#include <zstd.h>

#include <cstdlib>

#include "diag/report.h"
#include "payload/cache_check.h"
#include "payload/entry_header.h"
#include "payload/frame_workers.h"
#include "payload/partial_file.h"
#include "payload/reader.h"
#include "payload/staged_tree.h"
#include "payload/unpack_progress.h"
#include "payload/worker_threads.h"

namespace {

enum class Failure { none, outOfMemory, decode, disagrees, openForWriting, write };

// One decoding thread's own state; index 0 is the main thread's.
struct FrameWorker {
  PayloadReader reader;
  PayloadEntryHeader header;
  unsigned char chunk[kContentChunkSize];
  Utf16Unit path[kStagedPathCapacity];
  // The first failure of this worker, if any, and the entry it met it at.
  Failure failure;
  uint32_t failedEntry;
  DWORD failedError;
};
FrameWorker workers[kMaxFrameWorkers];

// What every worker reads; set before the first worker starts.
const EntryTableView* decodedTable = nullptr;
const unsigned char* decodedInput = nullptr;
const unsigned char* entryStates = nullptr;
const Utf16Unit* treeRoot = nullptr;

// Shared by every decoding thread: the next frame index to claim (each takes
// the value it raised it to, minus one), and the earliest entry at which any
// worker failed (kNoFailure while none has), lowered with a compare-exchange.
// A worker stops before an entry past it, whose outcome would not be
// reported.
volatile LONG nextFrameToDecode = 0;
constexpr LONG kNoFailure = 0x7FFFFFFF;
volatile LONG earliestFailedEntry = kNoFailure;

bool failed(FrameWorker& worker, uint32_t entry, Failure failure, DWORD error = 0) {
  worker.failure = failure;
  worker.failedEntry = entry;
  worker.failedError = error;
  LONG seen = earliestFailedEntry;
  while (static_cast<LONG>(entry) < seen) {
    const LONG before =
        InterlockedCompareExchange(&earliestFailedEntry, static_cast<LONG>(entry), seen);
    if (before == seen) break;
    seen = before;
  }
  return false;
}

// Creates the file at worker.path, shared with nobody, waiting out a
// scanner's hold and clearing a stale attribute once. Write access lets it
// be stamped for the check by size and time.
HANDLE createStagedFile(FrameWorker& worker) {
  int pausesLeft = kRetryPauses;
  bool attributesCleared = false;
  for (;;) {
    const HANDLE file = CreateFileW(
        /*lpFileName=*/reinterpret_cast<const wchar_t*>(worker.path),
        /*dwDesiredAccess=*/GENERIC_WRITE, /*dwShareMode=*/0,
        /*lpSecurityAttributes=*/nullptr,
        /*dwCreationDisposition=*/CREATE_ALWAYS, /*dwFlagsAndAttributes=*/0,
        /*hTemplateFile=*/nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && !attributesCleared) {
      attributesCleared = true;
      if (clearBlockingAttributes(worker.path)) continue;
    }
    if (error != ERROR_SHARING_VIOLATION || !pauseBeforeRetry(&pausesLeft)) {
      return INVALID_HANDLE_VALUE;
    }
  }
}

// Writes the contents of the entry just read to worker.path. A file cut
// short by a decoding failure stays as far as it got, for the next start's
// check; one whose write failed is removed.
bool writeStagedFile(FrameWorker& worker, uint32_t index) {
  const HANDLE file = createStagedFile(worker);
  if (file == INVALID_HANDLE_VALUE) return failed(worker, index, Failure::openForWriting);
  for (uint64_t remaining = worker.header.size; remaining > 0;) {
    const DWORD size = remaining < kContentChunkSize ? static_cast<DWORD>(remaining)
                                                     : static_cast<DWORD>(kContentChunkSize);
    const unsigned char* piece = nullptr;
    if (takeContentPiece(worker.reader, size, worker.chunk, &piece) != PayloadStatus::ok) {
      CloseHandle(file);
      return failed(worker, index, Failure::decode);
    }
    DWORD written = 0;
    if (!WriteFile(file, piece, size, &written, /*lpOverlapped=*/nullptr)) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      DeleteFileW(reinterpret_cast<const wchar_t*>(worker.path));
      return failed(worker, index, Failure::write, error);
    }
    countUnpackedBytes(size);
    remaining -= size;
  }
  stampWrittenFile(file);
  CloseHandle(file);
  return true;
}

bool skipContents(FrameWorker& worker, uint32_t index) {
  for (uint64_t remaining = worker.header.size; remaining > 0;) {
    const size_t size =
        remaining < kContentChunkSize ? static_cast<size_t>(remaining) : kContentChunkSize;
    const unsigned char* piece = nullptr;
    if (takeContentPiece(worker.reader, size, worker.chunk, &piece) != PayloadStatus::ok) {
      return failed(worker, index, Failure::decode);
    }
    countUnpackedBytes(size);
    remaining -= size;
  }
  return true;
}

// Joins the staged tree's root, a backslash and the entry's name; the main
// thread has joined the same name to the target directory, which is no
// longer, so it fits.
void joinStagedPath(FrameWorker& worker, const TableEntry& entry) {
  copyText(worker.path, kStagedPathCapacity, treeRoot);
  appendUnit(worker.path, kStagedPathCapacity, u'\\');
  appendText(worker.path, kStagedPathCapacity, entry.name);
}

// Decodes one frame on its own and writes its entries' files; false after
// a failure, which is recorded.
bool decodeFrame(FrameWorker& worker, const TableFrame& frame) {
  // The last entry to write decides how far the frame is decoded.
  uint32_t end = frame.firstEntry + frame.entryCount;
  while (end > frame.firstEntry && entryStates[end - 1] != kEntryToWrite) {
    countUnpackedBytes(tableEntry(*decodedTable, end - 1).size);
    countUnpackedEntry();
    --end;
  }
  if (end == frame.firstEntry) return true;
  if (beginPayloadReader(worker.reader, decodedInput + frame.inputOffset, frame.compressedLength) !=
      PayloadStatus::ok) {
    endPayloadReader(worker.reader);
    return failed(worker, frame.firstEntry, Failure::outOfMemory);
  }
  bool ok = true;
  for (uint32_t index = frame.firstEntry; ok && index < end; ++index) {
    if (static_cast<LONG>(index) > earliestFailedEntry) break;
    const TableEntry listed = tableEntry(*decodedTable, index);
    if (takeEntryHeader(worker.reader, worker.header) != EntryHeaderStatus::ok) {
      ok = failed(worker, index, Failure::decode);
    } else if (!entryHeaderMatches(worker.header, listed)) {
      ok = failed(worker, index, Failure::disagrees);
    } else if (entryStates[index] == kEntryToWrite) {
      joinStagedPath(worker, listed);
      ok = writeStagedFile(worker, index);
    } else {
      ok = skipContents(worker, index);
    }
    if (ok) countUnpackedEntry();
  }
  endPayloadReader(worker.reader);
  return ok;
}

void decodeClaimedFrames(uint32_t thread) {
  FrameWorker& worker = workers[thread];
  for (;;) {
    const LONG claimed = InterlockedIncrement(&nextFrameToDecode) - 1;
    if (static_cast<uint32_t>(claimed) >= decodedTable->frameCount) return;
    const TableFrame frame = tableFrame(*decodedTable, static_cast<uint32_t>(claimed));
    // Frames are claimed in stream order: past an earlier failure, nothing
    // this worker does would be reported.
    if (static_cast<LONG>(frame.firstEntry) > earliestFailedEntry) return;
    if (!decodeFrame(worker, frame)) return;
  }
}

// How many threads to decode with: one per logical processor and per frame
// with something to write, within the cap and the window budget.
uint32_t decodingThreads(const EntryTableView& table, uint64_t inputLength) {
  uint32_t frames = 0;
  for (uint32_t f = 0; f < table.frameCount; ++f) {
    const TableFrame frame = tableFrame(table, f);
    for (uint32_t i = frame.firstEntry; i < frame.firstEntry + frame.entryCount; ++i) {
      if (entryStates[i] == kEntryToWrite) {
        ++frames;
        break;
      }
    }
  }
  uint32_t threads = workerThreadsFor(frames, kMaxFrameWorkers);
  ZSTD_frameHeader header;
  if (ZSTD_getFrameHeader(&header, decodedInput, static_cast<size_t>(inputLength)) == 0) {
    const uint64_t perThread = header.windowSize + kDecodedBlockSize;
    const uint64_t affordable = kDecodeWindowBudget / (perThread == 0 ? 1 : perThread);
    if (threads > affordable) threads = affordable == 0 ? 1 : static_cast<uint32_t>(affordable);
  }
  return threads;
}

// Ends the process with the failure a single pass would have met first.
[[noreturn]] void reportFailure(const FrameWorker& worker, const Utf16Unit* targetDirectory) {
  switch (worker.failure) {
    case Failure::outOfMemory:
      fatalError("Error, couldn't allocate memory.");
    case Failure::openForWriting: {
      static PathBuffer entryPath;
      const TableEntry entry = tableEntry(*decodedTable, worker.failedEntry);
      copyText(entryPath, kPathCapacity, targetDirectory);
      appendUnit(entryPath, kPathCapacity, u'\\');
      appendText(entryPath, kPathCapacity, entry.name);
      fatalOpenForWritingError(entryPath);
    }
    case Failure::write:
      printOsError("Error, couldn't unpack file to target path.", worker.failedError);
      std::exit(2);
    default:
      fatalError("Error, couldn't decode attached data.");
  }
}

}  // namespace

FramesOutcome unpackFramesInParallel(const EntryTableView& table, const unsigned char* input,
                                     uint64_t inputLength, const unsigned char* states,
                                     const Utf16Unit* stagedRoot,
                                     const Utf16Unit* targetDirectory) {
  decodedTable = &table;
  decodedInput = input;
  entryStates = states;
  treeRoot = stagedRoot;
  nextFrameToDecode = 0;
  earliestFailedEntry = kNoFailure;

  const uint32_t threads = decodingThreads(table, inputLength);
  // A worker that never starts leaves its frames to the others and no
  // failure behind.
  for (uint32_t i = 0; i < threads; ++i) workers[i].failure = Failure::none;
  runOnWorkerThreads(threads, decodeClaimedFrames);

  const FrameWorker* first = nullptr;
  for (uint32_t i = 0; i < threads; ++i) {
    const FrameWorker& worker = workers[i];
    if (worker.failure != Failure::none &&
        (first == nullptr || worker.failedEntry < first->failedEntry)) {
      first = &worker;
    }
  }
  if (first == nullptr) return FramesOutcome::done;
  if (first->failure == Failure::disagrees) return FramesOutcome::disagrees;
  reportFailure(*first, targetDirectory);
}
