// Directory creation in a scratch folder on the real platform.
#include "target/directories.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "process_win32.h"
#include "target/spec.h"

namespace {

const Utf16Unit* units(const std::wstring& text) {
  return reinterpret_cast<const Utf16Unit*>(text.c_str());
}

std::vector<std::wstring> knownList() {
  std::vector<std::wstring> list;
  for (int32_t i = 0; i < knownDirectoryCount; ++i) {
    list.push_back(reinterpret_cast<const wchar_t*>(knownDirectories[i]));
  }
  return list;
}

std::wstring homeDirectory() {
  wchar_t path[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, path), S_OK);
  std::wstring home(path);
  while (!home.empty() && home.back() == L'\\') home.pop_back();
  return home;
}

bool isDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void removeTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path + L"\\" + name);
      } else {
        DeleteFileW((path + L"\\" + name).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

// Each test starts with an empty list, as a process does, in a fresh folder.
class Directories : public testing::Test {
 protected:
  void SetUp() override {
    forgetKnownDirectories();
    scratch = makeScratchDirectory(L"Dirs");
  }
  void TearDown() override {
    forgetKnownDirectories();
    removeTree(scratch);
  }
  static void forgetKnownDirectories() {
    for (int32_t i = 0; i < knownDirectoryCount; ++i) std::free(knownDirectories[i]);
    knownDirectoryCount = 0;
  }
  std::wstring scratch;
};

TEST_F(Directories, HomeComesFirstAndDriveDesignatorsAreNeverMade) {
  EXPECT_TRUE(ensureDirectory(u"Q:"));
  EXPECT_EQ(knownList(), std::vector<std::wstring>{homeDirectory()});
  EXPECT_TRUE(ensureDirectory(units(homeDirectory())));
  EXPECT_TRUE(ensureDirectory(u"C:"));
  EXPECT_EQ(knownDirectoryCount, 1);
}

TEST_F(Directories, ThreeMissingLevelsAreMadeTopDownAndRecorded) {
  const std::wstring a = scratch + L"\\a", b = a + L"\\b", c = b + L"\\c";
  createEntryDirectories(units(c + L"\\file.bin"));
  EXPECT_TRUE(isDirectory(c));
  EXPECT_EQ(knownList(), (std::vector<std::wstring>{homeDirectory(), a, b, c}));

  // A second file there finds its directory in the list.
  createEntryDirectories(units(c + L"\\other.bin"));
  EXPECT_EQ(knownDirectoryCount, 4);
  EXPECT_TRUE(isEntryDirectoryMadeThisRun(units(c + L"\\other.bin")));
  EXPECT_TRUE(isEntryDirectoryMadeThisRun(units(a + L"\\file.bin")));
  EXPECT_FALSE(isEntryDirectoryMadeThisRun(units(scratch + L"\\file.bin")));  // not known
}

TEST_F(Directories, AnExistingDirectoryIsRecordedThroughAlreadyExists) {
  EXPECT_TRUE(ensureDirectory(units(scratch)));
  EXPECT_EQ(knownList(), (std::vector<std::wstring>{homeDirectory(), scratch}));
  // Found, not made: files in it may be there from before.
  EXPECT_FALSE(isEntryDirectoryMadeThisRun(units(scratch + L"\\file.bin")));
}

TEST_F(Directories, RecordedDirectoriesCostNoSystemCall) {
  const std::wstring made = scratch + L"\\Made";
  EXPECT_TRUE(ensureDirectory(units(made)));
  EXPECT_TRUE(isDirectory(made));
  ASSERT_TRUE(RemoveDirectoryW(made.c_str()));
  // Still counted as present, so it is not made again.
  EXPECT_TRUE(ensureDirectory(units(made)));
  EXPECT_FALSE(isDirectory(made));
}

TEST_F(Directories, ComparisonIsExact) {
  const std::wstring upper = scratch + L"\\Case", lower = scratch + L"\\case";
  EXPECT_TRUE(ensureDirectory(units(upper)));
  EXPECT_TRUE(ensureDirectory(units(lower)));
  EXPECT_TRUE(ensureDirectory(units(upper + L"\\")));
  EXPECT_EQ(knownList(), (std::vector<std::wstring>{homeDirectory(), upper, lower, upper + L"\\"}));
}

TEST_F(Directories, TheDirectoryAfterAFullListIsMadeButNotRecorded) {
  // Entries that need no directory on disk bring the list to one short of
  // full, sparing a thousand slow directory creations.
  ensureDirectory(u"C:");
  while (knownDirectoryCount < kKnownDirectoryCapacity - 1) {
    const std::wstring name = L"C:\\listed\\" + std::to_wstring(knownDirectoryCount);
    knownDirectories[knownDirectoryCount++] = reinterpret_cast<Utf16Unit*>(_wcsdup(name.c_str()));
  }
  const std::wstring last = scratch + L"\\last", extra = scratch + L"\\extra";
  EXPECT_TRUE(ensureDirectory(units(last)));
  ASSERT_EQ(knownDirectoryCount, kKnownDirectoryCapacity);
  EXPECT_EQ(knownList().back(), last);

  EXPECT_TRUE(ensureDirectory(units(extra)));
  EXPECT_TRUE(isDirectory(extra));
  EXPECT_EQ(knownDirectoryCount, kKnownDirectoryCapacity);
  // Not in the list, so asking again goes to the platform once more.
  ASSERT_TRUE(RemoveDirectoryW(extra.c_str()));
  EXPECT_TRUE(ensureDirectory(units(extra)));
  EXPECT_TRUE(isDirectory(extra));
}

TEST_F(Directories, RefusedDirectoriesAreNeitherReportedNorRecorded) {
  const std::wstring file = scratch + L"\\file";
  writeWholeFile(file, "not a directory");
  const std::wstring below = file + L"\\sub";
  EXPECT_FALSE(ensureDirectory(units(below)));
  EXPECT_FALSE(ensureDirectory(units(scratch + L"\\bad<name")));

  createEntryDirectories(units(below + L"\\deeper\\entry.bin"));
  EXPECT_FALSE(pathExists(below));
  for (const std::wstring& known : knownList()) {
    EXPECT_EQ(known.find(below), std::wstring::npos) << known;
  }
}

TEST_F(Directories, EntryPathsWithoutADirectoryDoNothing) {
  createEntryDirectories(u"entry.bin");
  createEntryDirectories(u"\\entry.bin");
  // Not even the home directory was looked up.
  EXPECT_EQ(knownDirectoryCount, 0);
}

}  // namespace
