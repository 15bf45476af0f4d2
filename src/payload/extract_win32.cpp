#include <windows.h>

#include <cstdlib>

#include "diag/report.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "payload/reader.h"
#include "target/directories.h"

PathBuffer childProgramPath;

namespace {

Utf16Unit entryNameBuffer[kEntryNameCapacity];
PathBuffer entryPath;
unsigned char chunkBuffer[kContentChunkSize];

// Reads the current entry's name into entryNameBuffer, one code unit per
// request, up to and including its terminating zero. A name that would not
// fit the buffer is a damaged stream: conforming writers never make one.
void readEntryName() {
  for (size_t i = 0;; ++i) {
    if (i == kEntryNameCapacity) fatalError("Error, couldn't decode attached data.");
    unsigned char bytes[2];
    readPayload(bytes, 2);
    entryNameBuffer[i] = static_cast<Utf16Unit>(bytes[0] | (bytes[1] << 8));
    if (entryNameBuffer[i] == 0) return;
  }
}

uint64_t readU64() {
  unsigned char bytes[8];
  readPayload(bytes, 8);
  return loadU64(bytes);
}

uint32_t readU32() {
  unsigned char bytes[4];
  readPayload(bytes, 4);
  return loadU32(bytes);
}

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

void writeEntryFile(uint64_t remaining) {
  createEntryDirectories(entryPath);
  const HANDLE file = CreateFileW(
      /*lpFileName=*/reinterpret_cast<const wchar_t*>(entryPath),
      /*dwDesiredAccess=*/GENERIC_WRITE, /*dwShareMode=*/FILE_SHARE_WRITE,
      /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/CREATE_ALWAYS,
      /*dwFlagsAndAttributes=*/0, /*hTemplateFile=*/nullptr);
  if (file == INVALID_HANDLE_VALUE) fatalOpenForWritingError(entryPath);
  while (remaining > 0) {
    const DWORD piece = remaining < kContentChunkSize ? static_cast<DWORD>(remaining)
                                                      : static_cast<DWORD>(kContentChunkSize);
    readPayload(chunkBuffer, piece);
    DWORD written = 0;
    if (!WriteFile(file, chunkBuffer, piece, &written, /*lpOverlapped=*/nullptr)) {
      printOsError("Error, couldn't unpack file to target path.", GetLastError());
      std::exit(2);
    }
    remaining -= piece;
  }
  CloseHandle(file);
}

}  // namespace

void unpackPayload(const Utf16Unit* targetDirectory) {
  for (;;) {
    readEntryName();
    if (entryNameBuffer[0] == 0) return;  // the end-of-list entry

    // Names are joined as they stand, after one backslash; a path that does
    // not fit aborts before anything of this entry is written.
    copyText(entryPath, kPathCapacity, targetDirectory);
    appendUnit(entryPath, kPathCapacity, u'\\');
    appendText(entryPath, kPathCapacity, entryNameBuffer);
    if (childProgramPath[0] == 0) copyText(childProgramPath, kPathCapacity, entryPath);

    const uint64_t size = readU64();
    const uint32_t storedChecksum = readU32();
    if (existingFileChecksum(entryPath) == storedChecksum) {
      skipContents(size);
    } else {
      writeEntryFile(size);
    }
  }
}

uint32_t existingFileChecksum(const Utf16Unit* path) {
  const HANDLE file = CreateFileW(
      /*lpFileName=*/reinterpret_cast<const wchar_t*>(path), /*dwDesiredAccess=*/GENERIC_READ,
      /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/OPEN_EXISTING,
      /*dwFlagsAndAttributes=*/FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;

  // The whole 64-bit size: a file of 4 GiB or more is compared over all of
  // its contents, not over its size modulo 2^32.
  DWORD sizeHigh = 0;
  const DWORD sizeLow = GetFileSize(file, &sizeHigh);
  if (sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    CloseHandle(file);
    return 0;
  }
  const uint64_t size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;

  // Fails for an empty file, which the system refuses to map: an empty entry
  // is therefore written on every run.
  const HANDLE mapping = CreateFileMappingW(file, /*lpFileMappingAttributes=*/nullptr,
                                            PAGE_READONLY, /*dwMaximumSizeHigh=*/0,
                                            /*dwMaximumSizeLow=*/0, /*lpName=*/nullptr);
  if (mapping == nullptr) {
    CloseHandle(file);
    return 0;
  }
  const void* const view = MapViewOfFile(mapping, FILE_MAP_READ, /*dwFileOffsetHigh=*/0,
                                         /*dwFileOffsetLow=*/0, /*dwNumberOfBytesToMap=*/0);
  if (view == nullptr) {
    CloseHandle(mapping);
    CloseHandle(file);
    return 0;
  }
  const uint32_t checksum = checksumFromCrc(extendCrc(0, view, size));
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
  return checksum;
}
