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

// No process ever sees a file half written under its real name. Files are
// written in a staging folder of the target directory, under one fixed name,
// and renamed into place: the staging folder holds at most that one file, so
// creating it costs an almost empty folder's lookup, where a temporary name
// beside the entry would cost another lookup in the entry's folder. The
// staging file a killed launcher left behind is truncated and reused by the
// next pass that writes a file, and every pass removes the folder at its end.
// Where the staging folder cannot be used (it cannot be made, or a launcher
// that reached the directory under another spelling is writing there), or
// the rename would cross volumes (the entry's folder is a junction to another
// drive), the entry is written as <name>.tavmor-partial beside its real name.
constexpr Utf16Unit kStagingFileName[] = u"\\file";
constexpr size_t kPartialPathCapacity = kPathCapacity + sizeof kPartialSuffix / sizeof(Utf16Unit) +
                                        sizeof kStagingFileName / sizeof(Utf16Unit);
Utf16Unit stagingFolderPath[kPartialPathCapacity];
Utf16Unit stagingFilePath[kPartialPathCapacity];
Utf16Unit besidePartialPath[kPartialPathCapacity];
// Whether the staging folder was made or found in this pass; cleared once
// it fails to take a file, so the rest of the pass writes beside entries.
enum class Staging { kUntried, kReady, kUnusable };
Staging staging = Staging::kUntried;
// The temporary file being written: stagingFilePath or besidePartialPath.
const Utf16Unit* partialPath = nullptr;

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

// Creates `path` afresh, shared with nobody: no other process can read the
// half-written file or write into it. Delete access lets the open handle
// rename the file into place.
HANDLE createPartialFile(const Utf16Unit* path) {
  return CreateFileW(
      /*lpFileName=*/wide(path), /*dwDesiredAccess=*/GENERIC_WRITE | DELETE,
      /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr,
      /*dwCreationDisposition=*/CREATE_ALWAYS, /*dwFlagsAndAttributes=*/0,
      /*hTemplateFile=*/nullptr);
}

// Points partialPath at <entryPath>.tavmor-partial.
void useBesidePartialFile() {
  copyText(besidePartialPath, kPartialPathCapacity, entryPath);
  appendText(besidePartialPath, kPartialPathCapacity, kPartialSuffix);
  partialPath = besidePartialPath;
}

// Opens the temporary file for the current entry and sets partialPath: the
// staging file where it can be had, else the file beside the entry, which
// a scanner may hold for a moment and which may carry a stale attribute.
HANDLE openPartialFile(int* pausesLeft) {
  if (staging == Staging::kUntried) {
    const bool ready =
        CreateDirectoryW(wide(stagingFolderPath), /*lpSecurityAttributes=*/nullptr) ||
        GetLastError() == ERROR_ALREADY_EXISTS;
    staging = ready ? Staging::kReady : Staging::kUnusable;
  }
  if (staging == Staging::kReady) {
    const HANDLE file = createPartialFile(stagingFilePath);
    if (file != INVALID_HANDLE_VALUE) {
      partialPath = stagingFilePath;
      return file;
    }
    staging = Staging::kUnusable;
  }
  useBesidePartialFile();
  bool attributesCleared = false;
  for (;;) {
    const HANDLE file = createPartialFile(partialPath);
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

// Removes the staging folder, and a staging file a killed or failed pass
// left in it. Nothing to remove is the common case, and failures leave only
// what the next pass reuses.
void removeStagingFolder() {
  if (RemoveDirectoryW(wide(stagingFolderPath))) return;
  if (GetLastError() != ERROR_DIR_NOT_EMPTY) return;
  DeleteFileW(wide(stagingFilePath));
  RemoveDirectoryW(wide(stagingFolderPath));
}

// Ends the run after the current entry's temporary file, still open as
// `file` unless that is INVALID_HANDLE_VALUE, is removed.
[[noreturn]] void discardPartialFileAndFail(HANDLE file, const char* message, DWORD error) {
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  DeleteFileW(wide(partialPath));
  removeStagingFolder();
  if (message == nullptr) fatalOpenForWritingError(entryPath);
  printOsError(message, error);
  std::exit(2);
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

// The entry's folder lies on another volume than the staging folder: the
// closed staging file is copied beside the entry, from where a rename puts
// it in place in one step.
void moveBesideEntry() {
  const Utf16Unit* const staged = partialPath;
  useBesidePartialFile();
  if (!MoveFileExW(/*lpExistingFileName=*/wide(staged), /*lpNewFileName=*/wide(partialPath),
                   /*dwFlags=*/MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    DeleteFileW(wide(partialPath));
    partialPath = staged;
    discardPartialFileAndFail(INVALID_HANDLE_VALUE, nullptr, 0);
  }
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
      if (error == ERROR_NOT_SAME_DEVICE) {
        CloseHandle(file);
        byHandle = false;
        moveBesideEntry();
        continue;
      }
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
      if (error == ERROR_NOT_SAME_DEVICE && partialPath == stagingFilePath) {
        moveBesideEntry();
        continue;
      }
    }
    if (error == ERROR_ACCESS_DENIED && !attributesCleared) {
      attributesCleared = true;
      if (clearBlockingAttributes(entryPath)) continue;
    }
    // Replacing a file that another process holds open fails with either
    // code, depending on how it was opened.
    const bool heldOpen = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!heldOpen || !pauseBeforeRetry(pausesLeft)) {
      discardPartialFileAndFail(byHandle ? file : INVALID_HANDLE_VALUE, nullptr, 0);
    }
  }
}

void writeEntryFile(uint64_t remaining) {
  createEntryDirectories(entryPath);
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
      discardPartialFileAndFail(file, "Error, couldn't unpack file to target path.",
                                GetLastError());
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
  copyText(stagingFolderPath, kPartialPathCapacity, targetDirectory);
  appendUnit(stagingFolderPath, kPartialPathCapacity, u'\\');
  appendText(stagingFolderPath, kPartialPathCapacity, kPartialSuffix);
  copyText(stagingFilePath, kPartialPathCapacity, stagingFolderPath);
  appendText(stagingFilePath, kPartialPathCapacity, kStagingFileName);
  for (;;) {
    readEntryHeader(entry);
    if (entry.nameLength == 0) {  // the end-of-list entry
      removeStagingFolder();
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
