// The least work a start over an intact target directory can do besides
// decoding: the CRC-32 of every file, through a read-only mapping of the
// whole file, with libdeflate's CRC-32, the launcher's.
//
//   checksum_floor TARGET_DIRECTORY FILE_LIST
#include <libdeflate.h>
#include <windows.h>

#include <cstdint>

#include "floors/file_list_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  wchar_t** arguments = programArguments(2);
  const std::vector<ListedFile> files = readFileList(arguments[2]);
  const double start = clockMilliseconds();
  const std::wstring target = arguments[1];
  int missing = 0;
  uint32_t combined = 0;
  for (const ListedFile& listed : files) {
    const std::wstring path = target + L"\\" + listed.name;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ,
                    /*dwShareMode=*/FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                    /*hTemplateFile=*/nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      ++missing;
      continue;
    }
    const DWORD size = GetFileSize(file, nullptr);
    HANDLE mapping = CreateFileMappingW(file, /*lpFileMappingAttributes=*/nullptr, PAGE_READONLY,
                                        /*dwMaximumSizeHigh=*/0, /*dwMaximumSizeLow=*/0,
                                        /*lpName=*/nullptr);
    const void* view =
        mapping == nullptr ? nullptr : MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
      ++missing;
    } else {
      combined ^= libdeflate_crc32(0, view, size);
      UnmapViewOfFile(view);
    }
    if (mapping != nullptr) CloseHandle(mapping);
    CloseHandle(file);
  }
  reportWorkTime("checksum", clockMilliseconds() - start);
  // The combined value only keeps the work from looking unused.
  return missing == 0 ? static_cast<int>(combined & 0) : 5;
}
