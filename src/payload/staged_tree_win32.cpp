#include <windows.h>

#include <cstddef>

#include "payload/extract.h"
#include "payload/native_path.h"
#include "payload/partial_file.h"
#include "payload/staged_tree.h"
#include "target/directories.h"

namespace {

const wchar_t* wide(const Utf16Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

// The target directory without trailing backslashes, and the tree beside it.
PathBuffer targetPath;
Utf16Unit treeRootPath[kStagedPathCapacity];
HANDLE treeHold = INVALID_HANDLE_VALUE;

void releaseStagedTree() {
  if (treeHold == INVALID_HANDLE_VALUE) return;
  CloseHandle(treeHold);
  treeHold = INVALID_HANDLE_VALUE;
}

bool targetDirectoryExists() {
  return GetFileAttributesW(wide(targetPath)) != INVALID_FILE_ATTRIBUTES;
}

// Moves every file of the staged tree to its place below the target
// directory, depth first, and removes each folder once it is empty. Links to
// folders are never entered. The walk ends at a folder it cannot remove.
Utf16Unit walkStagedPath[kStagedPathCapacity];
Utf16Unit walkTargetPath[kStagedPathCapacity];
PathBuffer walkEntryPath;

void truncateAtLastBackslash(Utf16Unit* path) {
  size_t length = unitLength(path);
  while (length > 0 && path[length - 1] != u'\\') --length;
  path[length > 0 ? length - 1 : 0] = 0;
}

bool isDotOrDotDot(const Utf16Unit* name) {
  return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

void moveStagedTreeInto() {
  copyText(walkStagedPath, kStagedPathCapacity, treeRootPath);
  copyText(walkTargetPath, kStagedPathCapacity, targetPath);
  const size_t rootLength = unitLength(walkStagedPath);
  WIN32_FIND_DATAW found;
  for (;;) {
    const size_t stagedLength = unitLength(walkStagedPath);
    const size_t targetLength = unitLength(walkTargetPath);
    appendText(walkStagedPath, kStagedPathCapacity, u"\\*");
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
        appendUnit(walkStagedPath, kStagedPathCapacity, u'\\');
        appendText(walkStagedPath, kStagedPathCapacity, name);
        appendUnit(walkTargetPath, kStagedPathCapacity, u'\\');
        appendText(walkTargetPath, kStagedPathCapacity, name);
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          descended = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
          if (descended) break;
        } else {
          copyText(walkEntryPath, kPathCapacity, walkTargetPath);
          createEntryDirectories(walkEntryPath);
          moveFileIntoPlace(walkStagedPath, walkEntryPath);
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

// How long a first start waits for another session's launcher that holds
// the staged tree, in pauses of kRetryPauseMilliseconds: one minute. Past
// it the target directory is written file by file, which is safe beside
// the other launcher, only slower.
constexpr int kTreeWaitPauses = 3000;

}  // namespace

bool beginStagedTree(const Utf16Unit* target) {
  copyText(targetPath, kPathCapacity, target);
  copyText(treeRootPath, kStagedPathCapacity, targetPath);
  appendText(treeRootPath, kStagedPathCapacity, kPartialSuffix);

  // Drive roots always exist, so the staged tree always has a parent folder.
  if (targetDirectoryExists()) return false;
  const DWORD missing = GetLastError();
  if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) return false;
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
    if (treeHold != INVALID_HANDLE_VALUE) return true;
    // Held by another launcher: wait until it is done (the target directory
    // then exists) or has ended (its tree is reused). Anything else, such
    // as a tree that cannot be made, leaves the target to the file-by-file
    // writes, whose failures are reported.
    if (GetLastError() != ERROR_SHARING_VIOLATION || targetDirectoryExists() ||
        !pauseBeforeRetry(&waitsLeft)) {
      return false;
    }
  }
}

const Utf16Unit* stagedTreeRoot() { return treeRootPath; }

// The tree is renamed through the handle that holds it.
alignas(FILE_RENAME_INFO) unsigned char treeRenameRequest[offsetof(FILE_RENAME_INFO, FileName) +
                                                          kNativePathCapacity * sizeof(Utf16Unit)];

void putStagedTreeInPlace() {
  int pausesLeft = kRetryPauses;
  uint32_t requestSize = 0;
  const bool byHandle =
      treeHold != INVALID_HANDLE_VALUE &&
      prepareRenameByHandle(targetPath, /*replace=*/false, treeRenameRequest, &requestSize);
  for (;;) {
    const bool renamed = byHandle
                             ? SetFileInformationByHandle(/*hFile=*/treeHold,
                                                          /*FileInformationClass=*/FileRenameInfo,
                                                          /*lpFileInformation=*/treeRenameRequest,
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
