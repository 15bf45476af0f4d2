#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <cwchar>

#include "diag/report.h"
#include "payload/entry_header.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "payload/native_path.h"
#include "payload/reader.h"
#include "target/directories.h"
#include "target/directory_lock.h"

PathBuffer childProgramPath;

namespace {

const wchar_t* wide(const Utf16Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

// The current entry's name, size and stored checksum.
PayloadEntryHeader entry;
PathBuffer entryPath;
unsigned char chunkBuffer[kContentChunkSize];

// The stream has no index: contents of a file already in place are still
// decoded, and dropped.
void skipContents(uint64_t remaining) {
  while (remaining > 0) {
    const size_t piece =
        remaining < kContentChunkSize ? static_cast<size_t>(remaining) : kContentChunkSize;
    readPayload(chunkBuffer, piece);
    remaining -= piece;
  }
}

// No process ever sees a file half written under its real name. One
// temporary name per entry: the one a killed launcher left behind is
// truncated and reused by the next pass that writes the entry.
constexpr size_t kPartialPathCapacity = kPathCapacity + sizeof kPartialSuffix / sizeof(Utf16Unit);
Utf16Unit partialPath[kPartialPathCapacity];

// Scanners and indexers open a file the moment it appears or changes and
// hold it for a moment. A sharing conflict is retried for up to about one
// second per file before it is reported.
constexpr int kRetryPauses = 50;
constexpr DWORD kRetryPauseMilliseconds = 20;

bool pauseBeforeRetry(int* pausesLeft) {
  if (*pausesLeft == 0) return false;
  --*pausesLeft;
  Sleep(kRetryPauseMilliseconds);
  return true;
}

// Read-only, hidden and system attributes make replacing a file fail.
// Clears them from the file at `path`; true when there were any to clear.
bool clearBlockingAttributes(const Utf16Unit* path) {
  constexpr DWORD kBlocking =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      (attributes & kBlocking) == 0) {
    return false;
  }
  const DWORD kept = attributes & ~kBlocking;
  return SetFileAttributesW(wide(path), kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept) != 0;
}

// Opens partialPath afresh, shared with nobody: no other process can read
// the half-written file or write into it. Delete access lets the open handle
// rename the file into place.
HANDLE openPartialFile(int* pausesLeft) {
  bool attributesCleared = false;
  for (;;) {
    const HANDLE file = CreateFileW(
        /*lpFileName=*/wide(partialPath), /*dwDesiredAccess=*/GENERIC_WRITE | DELETE,
        /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr,
        /*dwCreationDisposition=*/CREATE_ALWAYS, /*dwFlagsAndAttributes=*/0,
        /*hTemplateFile=*/nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && !attributesCleared) {
      attributesCleared = true;
      if (clearBlockingAttributes(partialPath)) continue;
    }
    if (error != ERROR_SHARING_VIOLATION || !pauseBeforeRetry(pausesLeft)) {
      fatalOpenForWritingError(entryPath);
    }
  }
}

// Renaming the still-open temporary file by its handle puts it in place
// without looking its temporary name up again, as a move by name after
// closing it would: a saving on every file written. The request takes the
// kernel's spelling of the new name, which the system does not rewrite.
alignas(FILE_RENAME_INFO) unsigned char renameRequest[offsetof(FILE_RENAME_INFO, FileName) +
                                                      kNativePathCapacity * sizeof(Utf16Unit)];
PathBuffer qualifiedEntryPath;
// Set once the system refuses a rename by handle (a file system without it):
// every later file is moved by name without asking again.
bool renameByHandleRefused = false;

// Fills renameRequest to rename onto entryPath and gives its size, or returns
// false where only the move by name is exact: the system would rewrite
// entryPath's Win32 spelling (a reserved device name, a trailing dot), or it
// has no native form.
bool prepareRenameByHandle(DWORD* requestSize) {
  if (renameByHandleRefused) return false;
  if (!isVerbatimPath(entryPath)) {
    const DWORD length = GetFullPathNameW(
        /*lpFileName=*/wide(entryPath), /*nBufferLength=*/kPathCapacity,
        /*lpBuffer=*/reinterpret_cast<wchar_t*>(qualifiedEntryPath), /*lpFilePart=*/nullptr);
    if (length == 0 || length >= kPathCapacity ||
        std::wcscmp(wide(qualifiedEntryPath), wide(entryPath)) != 0) {
      return false;
    }
  }
  auto* const request = reinterpret_cast<FILE_RENAME_INFO*>(renameRequest);
  Utf16Unit* const name = reinterpret_cast<Utf16Unit*>(request->FileName);
  if (!nativePathFromWin32(entryPath, name, kNativePathCapacity)) return false;
  request->ReplaceIfExists = TRUE;
  request->RootDirectory = nullptr;
  request->FileNameLength = static_cast<DWORD>(unitLength(name) * sizeof(Utf16Unit));
  *requestSize = static_cast<DWORD>(offsetof(FILE_RENAME_INFO, FileName) + request->FileNameLength +
                                    sizeof(Utf16Unit));
  return true;
}

// Puts the written temporary file, still open as `file`, in place of
// entryPath and closes it. A file that cannot be replaced (a running program
// loaded from it, a reader that holds it without delete sharing past the
// retries) ends the run as a file that cannot be opened for writing would,
// and its temporary file is removed first.
void moveIntoPlace(HANDLE file, int* pausesLeft) {
  DWORD requestSize = 0;
  bool byHandle = prepareRenameByHandle(&requestSize);
  if (!byHandle) CloseHandle(file);
  bool attributesCleared = false;
  for (;;) {
    DWORD error = 0;
    if (byHandle) {
      if (SetFileInformationByHandle(/*hFile=*/file, /*FileInformationClass=*/FileRenameInfo,
                                     /*lpFileInformation=*/renameRequest,
                                     /*dwBufferSize=*/requestSize)) {
        CloseHandle(file);
        return;
      }
      error = GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
        renameByHandleRefused = true;
        byHandle = false;
        CloseHandle(file);
        continue;
      }
    } else {
      if (MoveFileExW(/*lpExistingFileName=*/wide(partialPath), /*lpNewFileName=*/wide(entryPath),
                      /*dwFlags=*/MOVEFILE_REPLACE_EXISTING)) {
        return;
      }
      error = GetLastError();
    }
    if (error == ERROR_ACCESS_DENIED && !attributesCleared) {
      attributesCleared = true;
      if (clearBlockingAttributes(entryPath)) continue;
    }
    // Replacing a file that another process holds open fails with either
    // code, depending on how it was opened.
    const bool heldOpen = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!heldOpen || !pauseBeforeRetry(pausesLeft)) {
      if (byHandle) CloseHandle(file);
      DeleteFileW(wide(partialPath));
      fatalOpenForWritingError(entryPath);
    }
  }
}

void writeEntryFile(uint64_t remaining) {
  createEntryDirectories(entryPath);
  copyText(partialPath, kPartialPathCapacity, entryPath);
  appendText(partialPath, kPartialPathCapacity, kPartialSuffix);
  int pausesLeft = kRetryPauses;
  const HANDLE file = openPartialFile(&pausesLeft);
  while (remaining > 0) {
    const DWORD piece = remaining < kContentChunkSize ? static_cast<DWORD>(remaining)
                                                      : static_cast<DWORD>(kContentChunkSize);
    readPayload(chunkBuffer, piece);
    DWORD written = 0;
    // Nobody else can open the file, so no sharing or lock conflict can
    // arise here: a failure is final.
    if (!WriteFile(file, chunkBuffer, piece, &written, /*lpOverlapped=*/nullptr)) {
      printOsError("Error, couldn't unpack file to target path.", GetLastError());
      std::exit(2);
    }
    remaining -= piece;
  }
  moveIntoPlace(file, &pausesLeft);
}

}  // namespace

void unpackPayload(const Utf16Unit* targetDirectory) {
  // From the first check to the last file in place, no other launcher works
  // on this directory; the lock is released before the child starts.
  lockTargetDirectory(targetDirectory);
  for (;;) {
    readEntryHeader(entry);
    if (entry.nameLength == 0) {  // the end-of-list entry
      unlockTargetDirectory();
      return;
    }

    // Names are joined as they stand, after one backslash; a path that does
    // not fit aborts before anything of this entry is written.
    copyText(entryPath, kPathCapacity, targetDirectory);
    appendUnit(entryPath, kPathCapacity, u'\\');
    appendText(entryPath, kPathCapacity, entry.name);
    if (childProgramPath[0] == 0) copyText(childProgramPath, kPathCapacity, entryPath);

    // A folder this run made holds only what this run wrote, so its files
    // need no look: on a first start that saves a failed open per file.
    const bool mayExist = !isEntryDirectoryMadeThisRun(entryPath);
    if (mayExist && existingFileChecksum(entryPath) == entry.checksum) {
      skipContents(entry.size);
    } else {
      writeEntryFile(entry.size);
    }
  }
}

uint32_t existingFileChecksum(const Utf16Unit* path) {
  const HANDLE file = CreateFileW(
      /*lpFileName=*/wide(path), /*dwDesiredAccess=*/GENERIC_READ,
      /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/OPEN_EXISTING,
      /*dwFlagsAndAttributes=*/FILE_FLAG_SEQUENTIAL_SCAN, /*hTemplateFile=*/nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;

  // Plain reads to the end of the file, whatever its size: a read error (a
  // failing disk, a network or redirected folder, a cloud placeholder) comes
  // back as a failed call, where a mapped view would raise an in-page fault
  // and end the process. An empty file has the CRC 0 and so the checksum 1,
  // which an empty entry stores. The pieces pass through chunkBuffer, which
  // holds nothing else while a file is checked.
  uint32_t crc = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunkBuffer, sizeof chunkBuffer, &got, /*lpOverlapped=*/nullptr)) {
      CloseHandle(file);
      return 0;
    }
    if (got == 0) break;
    crc = extendCrc(crc, chunkBuffer, got);
  }
  CloseHandle(file);
  return checksumFromCrc(crc);
}
