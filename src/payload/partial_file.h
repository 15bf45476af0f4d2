// Writing one file of the application without anyone seeing it half written:
// its contents go into a temporary file that only this process can open, and
// that file is then moved over the real name in one step. A file another
// process holds open is never truncated; a scanner's brief hold is waited
// out; a stale read-only, hidden or system attribute is cleared. Every
// failure ends the run naming the entry, and removes the temporary file
// first, so a failed start leaves the real file as it was.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"

// Where files of a found target directory `target` (no trailing backslash)
// are written aside: its staging folder, made when the first file needs it.
void prepareStagingFolder(const Utf16Unit* target);

// Removes the staging folder, and a staging file a killed or failed pass
// left in it. Nothing to remove is the common case.
void removeStagingFolder();

// Writes the next `size` bytes of the launcher's reader as the file at
// `entryPath`: in the staging folder (or, where that cannot serve, beside
// the entry under its name with the partial suffix), then moved into place.
// The entry's folders must exist.
void writeFileAside(const Utf16Unit* entryPath, uint64_t size);

// Writes the next `size` bytes of the launcher's reader as the file at
// `path`, which no other process uses (a file of the staged tree), in place;
// failures name `entryPath`, the file's final name.
void writeFileInPlace(const Utf16Unit* path, const Utf16Unit* entryPath, uint64_t size);

// Moves the closed file at `from` over `entryPath`, retrying while a scanner
// holds the target, copying where `from` lies on another volume.
void moveFileIntoPlace(const Utf16Unit* from, const Utf16Unit* entryPath);

// Fills `request` (a FILE_RENAME_INFO with room for kNativePathCapacity units
// of name) to rename
// an open file or folder onto `newPath`, replacing a file there when
// `replace`, and gives its size, or returns false where only the move by name
// is exact: the system would rewrite newPath's Win32 spelling (a reserved
// device name, a trailing dot), it has no native form, or the system refused
// a rename by handle before.
bool prepareRenameByHandle(const Utf16Unit* newPath, bool replace, unsigned char* request,
                           uint32_t* requestSize);

// Read-only, hidden and system attributes make replacing a file fail.
// Clears them from the file at `path`; true when there were any to clear.
// Safe on any thread.
bool clearBlockingAttributes(const Utf16Unit* path);

// From here on, each file written gets the last-write time `time` (a
// FILETIME count) just before it is closed, while no other process can open
// it; 0 leaves the time the system sets. A file stamped with a
// time well before any other process could change it shows every later
// change by a later time (cache_record.h).
void stampWrittenFiles(uint64_t time);

// Gives the written file open as `file` (a HANDLE that no other process can
// open, with write access) the time stampWrittenFiles chose, if any. A file
// the system would not stamp keeps the time of its writing, which a record
// made right after never vouches for. Safe on any thread.
void stampWrittenFile(void* file);

// Scanners and indexers open a file the moment it appears or changes and
// hold it for a moment. A sharing conflict is retried for up to about one
// second per file before it is reported.
constexpr int kRetryPauses = 50;
constexpr uint32_t kRetryPauseMilliseconds = 20;
// Pauses once and returns true while `*pausesLeft` is above zero.
bool pauseBeforeRetry(int* pausesLeft);
