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
    readContentPiece(piece, chunkBuffer);
    remaining -= piece;
  }
}

// No process ever sees a file half written under its real name.
//
// A first start, which finds no target directory, unpacks the whole tree
// into <target>.tavmor-partial beside it, writing every file in place, and
// gives that folder the target's name in one step at the end: other programs
// find no target directory or a whole one, and each file costs what a plain
// write costs. A staged tree a killed or failed start left behind is reused, its files
// checked like those of any found folder, by the next first start.
//
// A start that finds the target directory repairs it file by file: a file is
// written in a staging folder of the target directory, under one fixed name,
// and renamed into place. The staging folder holds at most that one file, so
// creating it costs an almost empty folder's lookup, where a temporary name
// beside the entry would cost another lookup in the entry's folder. The
// staging file a killed launcher left behind is truncated and reused by the
// next pass that writes a file, and every such pass removes the folder at its
// end. Where the staging folder cannot be used (it cannot be made, or a
// launcher of another session, which does not share the lock, is writing
// there), or the rename would cross volumes (the entry's folder is a junction
// to another drive), the entry is written as <name>.tavmor-partial beside its
// real name.
constexpr Utf16Unit kStagingFileName[] = u"\\file";
constexpr size_t kPartialPathCapacity = kPathCapacity + 32;
bool stagingTree = false;
// The target directory without trailing backslashes, the staged tree beside
// it, and the current entry's path below that tree.
PathBuffer targetPath;
Utf16Unit treeRootPath[kPartialPathCapacity];
Utf16Unit stagedEntryPath[kPartialPathCapacity];
Utf16Unit stagingFolderPath[kPartialPathCapacity];
Utf16Unit stagingFilePath[kPartialPathCapacity];
Utf16Unit besidePartialPath[kPartialPathCapacity];
// Whether the staging folder was made or found in this pass; cleared once
// it fails to take a file, so the rest of the pass writes beside entries.
enum class Staging { kUntried, kReady, kUnusable };
Staging staging = Staging::kUntried;
// The file being written, which is not yet in place: the staging file, the
// file beside the entry, or the entry's file in the staged tree.
const Utf16Unit* partialPath = nullptr;
// A first start holds the staged tree open for deletion, shared with no
// other deleter, from before its first file until the tree is in place or
// the run ends. A launcher that does not share the lock (another session's)
// cannot hold it too and waits, and no one can rename the tree away while a
// file in it is being written.
HANDLE treeHold = INVALID_HANDLE_VALUE;

void releaseStagedTree() {
  if (treeHold == INVALID_HANDLE_VALUE) return;
  CloseHandle(treeHold);
  treeHold = INVALID_HANDLE_VALUE;
}

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
HANDLE createPartialFile(const Utf16Unit* path, DWORD access) {
  return CreateFileW(
      /*lpFileName=*/wide(path), /*dwDesiredAccess=*/access,
      /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr,
      /*dwCreationDisposition=*/CREATE_ALWAYS, /*dwFlagsAndAttributes=*/0,
      /*hTemplateFile=*/nullptr);
}

[[noreturn]] void discardPartialFileAndFail(HANDLE file, const char* message, DWORD error);

// Creates partialPath, which a scanner may hold for a moment and which may
// carry a stale attribute, or ends the run naming the entry.
HANDLE createPartialFileOrFail(DWORD access, int* pausesLeft) {
  bool attributesCleared = false;
  for (;;) {
    const HANDLE file = createPartialFile(partialPath, access);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && !attributesCleared) {
      attributesCleared = true;
      if (clearBlockingAttributes(partialPath)) continue;
    }
    if (error != ERROR_SHARING_VIOLATION || !pauseBeforeRetry(pausesLeft)) {
      discardPartialFileAndFail(INVALID_HANDLE_VALUE, nullptr, 0);
    }
  }
}

// Points partialPath at <entryPath>.tavmor-partial.
void useBesidePartialFile() {
  copyText(besidePartialPath, kPartialPathCapacity, entryPath);
  appendText(besidePartialPath, kPartialPathCapacity, kPartialSuffix);
  partialPath = besidePartialPath;
}

// Opens the temporary file for the current entry and sets partialPath: the
// staging file where it can be had, else the file beside the entry.
HANDLE openPartialFile(int* pausesLeft) {
  if (staging == Staging::kUntried) {
    const bool ready =
        CreateDirectoryW(wide(stagingFolderPath), /*lpSecurityAttributes=*/nullptr) ||
        GetLastError() == ERROR_ALREADY_EXISTS;
    staging = ready ? Staging::kReady : Staging::kUnusable;
  }
  if (staging == Staging::kReady) {
    const HANDLE file = createPartialFile(stagingFilePath, GENERIC_WRITE | DELETE);
    if (file != INVALID_HANDLE_VALUE) {
      partialPath = stagingFilePath;
      return file;
    }
    staging = Staging::kUnusable;
  }
  useBesidePartialFile();
  return createPartialFileOrFail(GENERIC_WRITE | DELETE, pausesLeft);
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
// `file` unless that is INVALID_HANDLE_VALUE, is removed. The rest of a
// staged tree stays for the next first start, which checks and reuses it.
[[noreturn]] void discardPartialFileAndFail(HANDLE file, const char* message, DWORD error) {
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  DeleteFileW(wide(partialPath));
  if (!stagingTree) removeStagingFolder();
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

// Fills renameRequest to rename onto `newPath`, replacing a file there when
// `replace`, and gives its size, or returns false where only the move by
// name is exact: the system would rewrite newPath's Win32 spelling (a
// reserved device name, a trailing dot), or it has no native form.
bool prepareRenameByHandle(const Utf16Unit* newPath, bool replace, DWORD* requestSize) {
  if (renameByHandleRefused) return false;
  if (!isVerbatimPath(newPath)) {
    const DWORD length = GetFullPathNameW(
        /*lpFileName=*/wide(newPath), /*nBufferLength=*/kPathCapacity,
        /*lpBuffer=*/reinterpret_cast<wchar_t*>(qualifiedEntryPath), /*lpFilePart=*/nullptr);
    if (length == 0 || length >= kPathCapacity ||
        std::wcscmp(wide(qualifiedEntryPath), wide(newPath)) != 0) {
      return false;
    }
  }
  auto* const request = reinterpret_cast<FILE_RENAME_INFO*>(renameRequest);
  Utf16Unit* const name = reinterpret_cast<Utf16Unit*>(request->FileName);
  if (!nativePathFromWin32(newPath, name, kNativePathCapacity)) return false;
  request->ReplaceIfExists = replace ? TRUE : FALSE;
  request->RootDirectory = nullptr;
  request->FileNameLength = static_cast<DWORD>(unitLength(name) * sizeof(Utf16Unit));
  *requestSize = static_cast<DWORD>(offsetof(FILE_RENAME_INFO, FileName) + request->FileNameLength +
                                    sizeof(Utf16Unit));
  return true;
}

// The entry's folder lies on another volume than the temporary file: the
// closed file is copied beside the entry, from where a rename puts it in
// place in one step.
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

// Puts the written temporary file in place of entryPath: still open as
// `file`, which this closes, or closed when `file` is INVALID_HANDLE_VALUE.
// A file that cannot be replaced (a running program loaded from it, a reader
// that holds it without delete sharing past the retries) ends the run as a
// file that cannot be opened for writing would, and its temporary file is
// removed first.
void moveIntoPlace(HANDLE file, int* pausesLeft) {
  DWORD requestSize = 0;
  bool byHandle = file != INVALID_HANDLE_VALUE &&
                  prepareRenameByHandle(entryPath, /*replace=*/true, &requestSize);
  if (!byHandle && file != INVALID_HANDLE_VALUE) CloseHandle(file);
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
      if (error == ERROR_NOT_SAME_DEVICE && partialPath != besidePartialPath) {
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

// Writes the entry's contents into `file`, open for partialPath, in pieces of
// kContentChunkSize bytes, each at a multiple of that size in the file, most
// of them straight from the decoded block.
void writeContents(HANDLE file, uint64_t remaining) {
  while (remaining > 0) {
    const DWORD size = remaining < kContentChunkSize ? static_cast<DWORD>(remaining)
                                                     : static_cast<DWORD>(kContentChunkSize);
    const unsigned char* const piece = readContentPiece(size, chunkBuffer);
    DWORD written = 0;
    // Nobody else can open the file, so no sharing or lock conflict can
    // arise here: a failure is final.
    if (!WriteFile(file, piece, size, &written, /*lpOverlapped=*/nullptr)) {
      discardPartialFileAndFail(file, "Error, couldn't unpack file to target path.",
                                GetLastError());
    }
    remaining -= size;
  }
}

// Over a found target directory: written aside, then renamed into place.
void writeEntryFile(uint64_t remaining) {
  createEntryDirectories(entryPath);
  int pausesLeft = kRetryPauses;
  const HANDLE file = openPartialFile(&pausesLeft);
  writeContents(file, remaining);
  moveIntoPlace(file, &pausesLeft);
}

// In the staged tree, which only this pass uses and whose folders it made
// before looking for the file: written in place.
void writeStagedFile(uint64_t remaining) {
  partialPath = stagedEntryPath;
  int pausesLeft = kRetryPauses;
  const HANDLE file = createPartialFileOrFail(GENERIC_WRITE, &pausesLeft);
  writeContents(file, remaining);
  CloseHandle(file);
}

// Moves every file of the staged tree to its place below the target
// directory, depth first, and removes each folder once it is empty. Links to
// folders are never entered. The walk ends at a folder it cannot remove.
Utf16Unit walkStagedPath[kPartialPathCapacity];
Utf16Unit walkTargetPath[kPartialPathCapacity];

void truncateAtLastBackslash(Utf16Unit* path) {
  size_t length = unitLength(path);
  while (length > 0 && path[length - 1] != u'\\') --length;
  path[length > 0 ? length - 1 : 0] = 0;
}

bool isDotOrDotDot(const Utf16Unit* name) {
  return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

void moveStagedTreeInto() {
  copyText(walkStagedPath, kPartialPathCapacity, treeRootPath);
  copyText(walkTargetPath, kPartialPathCapacity, targetPath);
  const size_t rootLength = unitLength(walkStagedPath);
  WIN32_FIND_DATAW found;
  for (;;) {
    const size_t stagedLength = unitLength(walkStagedPath);
    const size_t targetLength = unitLength(walkTargetPath);
    appendText(walkStagedPath, kPartialPathCapacity, u"\\*");
    const HANDLE search = FindFirstFileExW(
        /*lpFileName=*/wide(walkStagedPath), /*fInfoLevelId=*/FindExInfoBasic,
        /*lpFindFileData=*/&found, /*fSearchOp=*/FindExSearchNameMatch,
        /*lpSearchFilter=*/nullptr, /*dwAdditionalFlags=*/0);
    walkStagedPath[stagedLength] = 0;
    bool descended = false;
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const Utf16Unit* const name = reinterpret_cast<const Utf16Unit*>(found.cFileName);
        if (isDotOrDotDot(name)) continue;
        appendUnit(walkStagedPath, kPartialPathCapacity, u'\\');
        appendText(walkStagedPath, kPartialPathCapacity, name);
        appendUnit(walkTargetPath, kPartialPathCapacity, u'\\');
        appendText(walkTargetPath, kPartialPathCapacity, name);
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          descended = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
          if (descended) break;
        } else {
          copyText(entryPath, kPathCapacity, walkTargetPath);
          partialPath = walkStagedPath;
          createEntryDirectories(entryPath);
          int pausesLeft = kRetryPauses;
          moveIntoPlace(INVALID_HANDLE_VALUE, &pausesLeft);
        }
        walkStagedPath[stagedLength] = 0;
        walkTargetPath[targetLength] = 0;
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    if (descended) continue;
    if (!RemoveDirectoryW(wide(walkStagedPath)) || stagedLength == rootLength) return;
    truncateAtLastBackslash(walkStagedPath);
    truncateAtLastBackslash(walkTargetPath);
  }
}

bool targetDirectoryExists() {
  return GetFileAttributesW(wide(targetPath)) != INVALID_FILE_ATTRIBUTES;
}

// The staged tree takes the target directory's name in one step, renamed
// through the handle that holds it. A scanner holding one of its files may
// refuse that for a moment; past the retries, or when the target directory
// has appeared meanwhile (made by hand, or by a launcher of another
// session), the files are moved into it one by one.
void putStagedTreeInPlace() {
  int pausesLeft = kRetryPauses;
  DWORD requestSize = 0;
  const bool byHandle = treeHold != INVALID_HANDLE_VALUE &&
                        prepareRenameByHandle(targetPath, /*replace=*/false, &requestSize);
  for (;;) {
    const bool renamed = byHandle
                             ? SetFileInformationByHandle(/*hFile=*/treeHold,
                                                          /*FileInformationClass=*/FileRenameInfo,
                                                          /*lpFileInformation=*/renameRequest,
                                                          /*dwBufferSize=*/requestSize) != 0
                             : MoveFileExW(/*lpExistingFileName=*/wide(treeRootPath),
                                           /*lpNewFileName=*/wide(targetPath), /*dwFlags=*/0) != 0;
    if (renamed) {
      releaseStagedTree();
      return;
    }
    const DWORD error = GetLastError();
    // Windows refuses a rename onto an existing folder with access denied,
    // as it refuses one while a file below is held open: no retries then.
    if (targetDirectoryExists()) break;
    const bool heldOpen = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!heldOpen || !pauseBeforeRetry(&pausesLeft)) break;
  }
  // The hold keeps listings out as well.
  releaseStagedTree();
  moveStagedTreeInto();
}

// How long a first start waits for another session's launcher that holds
// the staged tree, in pauses of kRetryPauseMilliseconds: one minute. Past
// it the target directory is written file by file, which is safe beside
// the other launcher, only slower.
constexpr int kTreeWaitPauses = 3000;

// Chooses where this pass writes: the staged tree when the target directory
// does not exist, else the target directory itself.
void chooseWhereToWrite(const Utf16Unit* targetDirectory) {
  copyText(targetPath, kPathCapacity, targetDirectory);
  dropTrailingBackslashes(targetPath);
  copyText(treeRootPath, kPartialPathCapacity, targetPath);
  appendText(treeRootPath, kPartialPathCapacity, kPartialSuffix);

  copyText(stagingFolderPath, kPartialPathCapacity, targetPath);
  appendUnit(stagingFolderPath, kPartialPathCapacity, u'\\');
  appendText(stagingFolderPath, kPartialPathCapacity, kPartialSuffix);
  copyText(stagingFilePath, kPartialPathCapacity, stagingFolderPath);
  appendText(stagingFilePath, kPartialPathCapacity, kStagingFileName);

  // Drive roots always exist, so the staged tree always has a parent folder.
  if (GetFileAttributesW(wide(targetDirectory)) != INVALID_FILE_ATTRIBUTES) return;
  const DWORD missing = GetLastError();
  if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) return;
  createParentDirectories(treeRootPath);
  ensureDirectory(treeRootPath);
  int waitsLeft = kTreeWaitPauses;
  for (;;) {
    treeHold = CreateFileW(
        /*lpFileName=*/wide(treeRootPath), /*dwDesiredAccess=*/DELETE,
        /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE, /*lpSecurityAttributes=*/nullptr,
        /*dwCreationDisposition=*/OPEN_EXISTING,
        /*dwFlagsAndAttributes=*/FILE_FLAG_BACKUP_SEMANTICS,
        /*hTemplateFile=*/nullptr);
    if (treeHold != INVALID_HANDLE_VALUE) {
      stagingTree = true;
      return;
    }
    // Held by another launcher: wait until it is done (the target directory
    // then exists) or has ended (its tree is reused). Anything else, such
    // as a tree that cannot be made, leaves the target to the file-by-file
    // writes, whose failures are reported.
    if (GetLastError() != ERROR_SHARING_VIOLATION || targetDirectoryExists() ||
        !pauseBeforeRetry(&waitsLeft)) {
      return;
    }
  }
}

}  // namespace

void unpackPayload(const Utf16Unit* targetDirectory) {
  // From the first check to the last file in place, no other launcher works
  // on this directory; the lock is released before the child starts.
  lockTargetDirectory(targetDirectory);
  chooseWhereToWrite(targetDirectory);
  for (;;) {
    readEntryHeader(entry);
    if (entry.nameLength == 0) {  // the end-of-list entry
      if (stagingTree) {
        putStagedTreeInPlace();
      } else {
        removeStagingFolder();
      }
      unlockTargetDirectory();
      return;
    }

    // Names are joined as they stand, after one backslash; a path that does
    // not fit aborts before anything of this entry is written.
    copyText(entryPath, kPathCapacity, targetDirectory);
    appendUnit(entryPath, kPathCapacity, u'\\');
    appendText(entryPath, kPathCapacity, entry.name);
    if (childProgramPath[0] == 0) copyText(childProgramPath, kPathCapacity, entryPath);
    const Utf16Unit* writtenPath = entryPath;
    if (stagingTree) {
      copyText(stagedEntryPath, kPartialPathCapacity, treeRootPath);
      appendUnit(stagedEntryPath, kPartialPathCapacity, u'\\');
      appendText(stagedEntryPath, kPartialPathCapacity, entry.name);
      writtenPath = stagedEntryPath;
    }

    // A folder this run made holds only what this run wrote, so its files
    // need no look: on a first start that saves a failed open per file. A
    // first start finds almost no folder of its staged tree, so it makes
    // each one before its first file is looked for.
    if (stagingTree) createEntryDirectories(writtenPath);
    const bool mayExist = !isEntryDirectoryMadeThisRun(writtenPath);
    if (mayExist && existingFileChecksum(writtenPath) == entry.checksum) {
      skipContents(entry.size);
    } else if (stagingTree) {
      writeStagedFile(entry.size);
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
