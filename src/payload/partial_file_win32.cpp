#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <cwchar>

#include "diag/report.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "payload/native_path.h"
#include "payload/partial_file.h"
#include "payload/reader.h"
#include "payload/unpack_progress.h"

namespace {

const wchar_t* wide(const Utf16Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

// A file of a found target directory is written in its staging folder, under
// one fixed name, and renamed into place. The staging folder holds at most
// that one file, so creating it costs an almost empty folder's lookup, where
// a temporary name beside the entry would cost another lookup in the entry's
// folder. The staging file a killed launcher left behind is truncated and
// reused by the next pass that writes a file, and every such pass removes the
// folder at its end. Where the staging folder cannot be used (it cannot be
// made, or a launcher of another session, which does not share the lock, is
// writing there), or the rename would cross volumes (the entry's folder is a
// junction to another drive), the entry is written as <name>.tavmor-partial
// beside its real name.
constexpr Utf16Unit kStagingFileName[] = u"\\file";
constexpr size_t kPartialPathCapacity = kPathCapacity + 32;
Utf16Unit stagingFolderPath[kPartialPathCapacity];
Utf16Unit stagingFilePath[kPartialPathCapacity];
Utf16Unit besidePartialPath[kPartialPathCapacity];
// Whether the staging folder was made or found in this pass; cleared once
// it fails to take a file, so the rest of the pass writes beside entries.
enum class Staging { kUntried, kReady, kUnusable };
Staging staging = Staging::kUntried;

// The entry being written, and its file that is not yet in place: the
// staging file, the file beside the entry, or a file of the staged tree.
const Utf16Unit* currentEntryPath = nullptr;
const Utf16Unit* partialPath = nullptr;
// Set when partialPath is a file of the staged tree, which stays for the
// next first start when this one fails; the staging folder is removed then.
bool inStagedTree = false;

unsigned char chunkBuffer[kContentChunkSize];

// stampWrittenFiles's time.
uint64_t writtenFileTime = 0;

// Creates `path` afresh, shared with nobody: no other process can read the
// half-written file or write into it. Delete access lets the open handle
// rename the file into place; write access lets it be stamped.
HANDLE createPartialFile(const Utf16Unit* path, DWORD access) {
  return CreateFileW(
      /*lpFileName=*/wide(path), /*dwDesiredAccess=*/access,
      /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr,
      /*dwCreationDisposition=*/CREATE_ALWAYS, /*dwFlagsAndAttributes=*/0,
      /*hTemplateFile=*/nullptr);
}

// Ends the run after the current entry's temporary file, still open as
// `file` unless that is INVALID_HANDLE_VALUE, is removed. The rest of a
// staged tree stays for the next first start, which checks and reuses it.
// Without a message: the open-for-writing failure naming the entry.
[[noreturn]] void discardPartialFileAndFail(HANDLE file, const char* message, DWORD error) {
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  DeleteFileW(wide(partialPath));
  if (!inStagedTree) removeStagingFolder();
  if (message == nullptr) fatalOpenForWritingError(currentEntryPath);
  printOsError(message, error);
  std::exit(2);
}

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

// Points partialPath at <entry>.tavmor-partial.
void useBesidePartialFile() {
  copyText(besidePartialPath, kPartialPathCapacity, currentEntryPath);
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

// Renaming the still-open temporary file by its handle puts it in place
// without looking its temporary name up again, as a move by name after
// closing it would: a saving on every file written. The request takes the
// kernel's spelling of the new name, which the system does not rewrite.
alignas(FILE_RENAME_INFO) unsigned char renameRequest[offsetof(FILE_RENAME_INFO, FileName) +
                                                      kNativePathCapacity * sizeof(Utf16Unit)];
PathBuffer qualifiedPath;
// Set once the system refuses a rename by handle (a file system without it):
// every later file is moved by name without asking again.
bool renameByHandleRefused = false;

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

// Puts the written temporary file in place of the current entry: still open
// as `file`, which this closes, or closed when `file` is
// INVALID_HANDLE_VALUE. A file that cannot be replaced (a running program
// loaded from it, a reader that holds it without delete sharing past the
// retries) ends the run as a file that cannot be opened for writing would,
// and its temporary file is removed first.
void moveIntoPlace(HANDLE file, int* pausesLeft) {
  uint32_t requestSize = 0;
  bool byHandle =
      file != INVALID_HANDLE_VALUE &&
      prepareRenameByHandle(currentEntryPath, /*replace=*/true, renameRequest, &requestSize);
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
      if (MoveFileExW(/*lpExistingFileName=*/wide(partialPath),
                      /*lpNewFileName=*/wide(currentEntryPath),
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
      if (clearBlockingAttributes(currentEntryPath)) continue;
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
    countUnpackedBytes(size);
    remaining -= size;
  }
}

}  // namespace

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

bool pauseBeforeRetry(int* pausesLeft) {
  if (*pausesLeft == 0) return false;
  --*pausesLeft;
  Sleep(kRetryPauseMilliseconds);
  return true;
}

bool prepareRenameByHandle(const Utf16Unit* newPath, bool replace, unsigned char* requestBytes,
                           uint32_t* requestSize) {
  if (renameByHandleRefused) return false;
  if (!isVerbatimPath(newPath)) {
    const DWORD length = GetFullPathNameW(
        /*lpFileName=*/wide(newPath), /*nBufferLength=*/kPathCapacity,
        /*lpBuffer=*/reinterpret_cast<wchar_t*>(qualifiedPath), /*lpFilePart=*/nullptr);
    if (length == 0 || length >= kPathCapacity ||
        std::wcscmp(wide(qualifiedPath), wide(newPath)) != 0) {
      return false;
    }
  }
  auto* const request = reinterpret_cast<FILE_RENAME_INFO*>(requestBytes);
  Utf16Unit* const name = reinterpret_cast<Utf16Unit*>(request->FileName);
  if (!nativePathFromWin32(newPath, name, kNativePathCapacity)) return false;
  request->ReplaceIfExists = replace ? TRUE : FALSE;
  request->RootDirectory = nullptr;
  request->FileNameLength = static_cast<DWORD>(unitLength(name) * sizeof(Utf16Unit));
  *requestSize = static_cast<uint32_t>(offsetof(FILE_RENAME_INFO, FileName) +
                                       request->FileNameLength + sizeof(Utf16Unit));
  return true;
}

void prepareStagingFolder(const Utf16Unit* target) {
  copyText(stagingFolderPath, kPartialPathCapacity, target);
  appendUnit(stagingFolderPath, kPartialPathCapacity, u'\\');
  appendText(stagingFolderPath, kPartialPathCapacity, kPartialSuffix);
  copyText(stagingFilePath, kPartialPathCapacity, stagingFolderPath);
  appendText(stagingFilePath, kPartialPathCapacity, kStagingFileName);
}

void removeStagingFolder() {
  if (RemoveDirectoryW(wide(stagingFolderPath))) return;
  if (GetLastError() != ERROR_DIR_NOT_EMPTY) return;
  DeleteFileW(wide(stagingFilePath));
  RemoveDirectoryW(wide(stagingFolderPath));
}

void writeFileAside(const Utf16Unit* entryPath, uint64_t size) {
  currentEntryPath = entryPath;
  inStagedTree = false;
  int pausesLeft = kRetryPauses;
  const HANDLE file = openPartialFile(&pausesLeft);
  writeContents(file, size);
  stampWrittenFile(file);
  moveIntoPlace(file, &pausesLeft);
}

void writeFileInPlace(const Utf16Unit* path, const Utf16Unit* entryPath, uint64_t size) {
  currentEntryPath = entryPath;
  partialPath = path;
  inStagedTree = true;
  int pausesLeft = kRetryPauses;
  const HANDLE file = createPartialFileOrFail(GENERIC_WRITE, &pausesLeft);
  writeContents(file, size);
  stampWrittenFile(file);
  CloseHandle(file);
}

void stampWrittenFiles(uint64_t time) { writtenFileTime = time; }

void stampWrittenFile(void* file) {
  if (writtenFileTime == 0) return;
  FILE_BASIC_INFO basic = {};  // zero times and attributes stay as they are
  basic.LastWriteTime.QuadPart = static_cast<LONGLONG>(writtenFileTime);
  SetFileInformationByHandle(/*hFile=*/file, /*FileInformationClass=*/FileBasicInfo,
                             /*lpFileInformation=*/&basic, /*dwBufferSize=*/sizeof basic);
}

void moveFileIntoPlace(const Utf16Unit* from, const Utf16Unit* entryPath) {
  currentEntryPath = entryPath;
  partialPath = from;
  inStagedTree = true;
  int pausesLeft = kRetryPauses;
  moveIntoPlace(INVALID_HANDLE_VALUE, &pausesLeft);
}
