// hello: prints a greeting, its arguments, the TAVMOR_ variables it received
// and a data file packed beside it. A packed program starts in its caller's
// working directory, so it finds its own files through its module path, not
// through relative paths.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void print(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                      nullptr, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

std::wstring ownFolder() {
  std::vector<wchar_t> path(32768);
  const DWORD length =
      GetModuleFileNameW(/*hModule=*/nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring folder(path.data(), length);
  return folder.substr(0, folder.rfind(L'\\'));
}

std::vector<std::wstring> tavmorVariables() {
  std::vector<std::wstring> found;
  wchar_t* const block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != 0; entry += wcslen(entry) + 1) {
    if (wcsncmp(entry, L"TAVMOR_", 7) == 0) found.emplace_back(entry);
  }
  FreeEnvironmentStringsW(block);
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  print(L"Hello from a packed application!\n");
  print(L"My folder: " + ownFolder() + L"\n");
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  print(L"Working directory: " + std::wstring(current) + L"\n");

  print(L"Arguments (" + std::to_wstring(argc - 1) + L"):\n");
  for (int i = 1; i < argc; ++i) print(L"  [" + std::to_wstring(i) + L"] " + argv[i] + L"\n");

  print(L"TAVMOR_ variables:\n");
  for (const std::wstring& variable : tavmorVariables()) print(L"  " + variable + L"\n");

  const std::wstring dataFile = ownFolder() + L"\\data\\greeting.txt";
  FILE* const data = _wfopen(dataFile.c_str(), L"rb");
  if (data == nullptr) {
    print(L"Cannot open " + dataFile + L"\n");
    return 1;
  }
  print(L"Data file " + dataFile + L":\n  ");
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, data)) > 0)
    std::fwrite(buffer, 1, got, stdout);
  std::fclose(data);
  return 0;
}
