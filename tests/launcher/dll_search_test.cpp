// The DLL search after restrictDllSearchToSystemFolder(), with DLLs named
// like system ones planted in this program's folder (the build copies them).
#include "launcher/dll_search.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::wstring loadedFrom(const wchar_t* name) {
  const HMODULE module = LoadLibraryW(name);
  if (module == nullptr) return L"(not loaded)";
  wchar_t path[MAX_PATH];
  return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

TEST(DllSearch, SystemFolderOnlyOncePrepared) {
  wchar_t self[MAX_PATH];
  const std::wstring ownFolder =
      folderOf(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
  wchar_t system[MAX_PATH];
  const std::wstring systemFolder(system, GetSystemDirectoryW(system, MAX_PATH));

  // Without the restriction the planted copy wins: the check below can fail.
  EXPECT_EQ(folderOf(loadedFrom(L"dwmapi.dll")), ownFolder);

  restrictDllSearchToSystemFolder();
  EXPECT_EQ(folderOf(loadedFrom(L"winmm.dll")), systemFolder);
}

}  // namespace
