// The least work a start into an empty target directory can do besides
// decoding: create the directories and write every file in pieces of 32,768
// bytes, as the launcher does. The bytes come from one fixed buffer.
//
//   write_floor TARGET_DIRECTORY FILE_LIST
#include <windows.h>

#include <cstdint>
#include <set>

#include "floors/file_list_win32.h"

namespace {

unsigned char piece[32768];

// Creates every directory on the way to `path` that this run has not created
// yet, from the top down.
void createDirectoriesFor(const std::wstring& path, size_t from, std::set<std::wstring>& made) {
  for (size_t slash = path.find(L'\\', from); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1)) {
    const std::wstring directory = path.substr(0, slash);
    if (made.insert(directory).second) CreateDirectoryW(directory.c_str(), nullptr);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  wchar_t** arguments = programArguments(2);
  const std::vector<ListedFile> files = readFileList(arguments[2]);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < sizeof piece; ++i) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    piece[i] = static_cast<unsigned char>(state);
  }
  const double start = clockMilliseconds();
  const std::wstring target = arguments[1];
  std::set<std::wstring> made;
  // The target directory itself and its parents, like any other directory on
  // the way; the drive root is not created.
  createDirectoriesFor(target + L"\\", 3, made);
  for (const ListedFile& listed : files) {
    const std::wstring path = target + L"\\" + listed.name;
    createDirectoriesFor(path, target.size() + 1, made);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, /*dwShareMode=*/FILE_SHARE_WRITE,
                              /*lpSecurityAttributes=*/nullptr, CREATE_ALWAYS,
                              /*dwFlagsAndAttributes=*/0, /*hTemplateFile=*/nullptr);
    if (file == INVALID_HANDLE_VALUE) return 5;
    for (uint64_t left = listed.size; left > 0;) {
      const DWORD n = left < sizeof piece ? static_cast<DWORD>(left) : sizeof piece;
      DWORD written = 0;
      if (!WriteFile(file, piece, n, &written, /*lpOverlapped=*/nullptr)) return 5;
      left -= n;
    }
    CloseHandle(file);
  }
  reportWorkTime("write", clockMilliseconds() - start);
  return 0;
}
