#include <windows.h>

#include "payload/existing_file.h"
#include "payload/format.h"

namespace {

HANDLE openForChecking(const Utf16Unit* path) {
  return CreateFileW(
      /*lpFileName=*/reinterpret_cast<const wchar_t*>(path), /*dwDesiredAccess=*/GENERIC_READ,
      /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      /*lpSecurityAttributes=*/nullptr, /*dwCreationDisposition=*/OPEN_EXISTING,
      /*dwFlagsAndAttributes=*/FILE_FLAG_SEQUENTIAL_SCAN, /*hTemplateFile=*/nullptr);
}

// Checksum of what remains of the open `file`, or 0 on a read error.
uint32_t checksumToEnd(HANDLE file, unsigned char* buffer, size_t bufferSize) {
  const DWORD piece = bufferSize < 0x40000000 ? static_cast<DWORD>(bufferSize) : 0x40000000;
  uint32_t crc = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, piece, &got, /*lpOverlapped=*/nullptr)) return 0;
    if (got == 0) return checksumFromCrc(crc);
    crc = extendCrc(crc, buffer, got);
  }
}

}  // namespace

uint32_t fileChecksum(const Utf16Unit* path, unsigned char* buffer, size_t bufferSize) {
  const HANDLE file = openForChecking(path);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const uint32_t checksum = checksumToEnd(file, buffer, bufferSize);
  CloseHandle(file);
  return checksum;
}

bool fileMatches(const Utf16Unit* path, uint64_t size, uint32_t checksum, unsigned char* buffer,
                 size_t bufferSize) {
  const HANDLE file = openForChecking(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER found;
  const bool sameSize =
      GetFileSizeEx(file, &found) && static_cast<uint64_t>(found.QuadPart) == size;
  const bool matches = sameSize && checksumToEnd(file, buffer, bufferSize) == checksum;
  CloseHandle(file);
  return matches;
}
