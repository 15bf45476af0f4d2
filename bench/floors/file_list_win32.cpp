#include "floors/file_list_win32.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

std::vector<ListedFile> readFileList(const wchar_t* listPath) {
  HANDLE file = CreateFileW(listPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) std::exit(3);
  std::string text(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr) ||
      got != text.size()) {
    std::exit(3);
  }
  CloseHandle(file);

  std::vector<ListedFile> files;
  size_t at = 0;
  while (at < text.size()) {
    const size_t tab = text.find('\t', at);
    const size_t end = text.find('\n', at);
    if (tab == std::string::npos || end == std::string::npos || tab > end) std::exit(3);
    ListedFile listed{std::strtoull(text.c_str() + at, nullptr, 10), {}};
    const std::string name = text.substr(tab + 1, end - tab - 1);
    listed.name.resize(name.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                          listed.name.data(), static_cast<int>(name.size()));
    listed.name.resize(units);
    files.push_back(listed);
    at = end + 1;
  }
  return files;
}

double clockMilliseconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void reportWorkTime(const char* label, double milliseconds) {
  char line[128];
  const int length = std::snprintf(line, sizeof line, "%s %.1f\n", label, milliseconds);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
}

wchar_t** programArguments(int count) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != count + 1) std::exit(3);
  return argv;
}
