// The name of a target directory's lock, with the platform's case folding
// and its resolution of other spellings of one directory.
#include "target/directory_lock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::u16string lockName(const std::u16string& directory) {
  Utf16Unit name[kDirectoryLockNameCapacity];
  lockNameForDirectory(directory.c_str(), name);
  return name;
}

TEST(DirectoryLock, NameFoldsCaseIgnoresTrailingBackslashesAndHasAFixedLength) {
  const std::u16string name = lockName(u"C:\\Users\\\u00C4sa\\AppData\\Local\\Quolvenarix\\1.70.0");
  EXPECT_EQ(name.size(), kDirectoryLockNameCapacity - 1);
  EXPECT_EQ(name.substr(0, 20), u"Local\\TavmorOnefile-");
  EXPECT_EQ(name.find(u'\\', 6), std::u16string::npos);  // one namespace prefix only
  EXPECT_EQ(lockName(u"c:\\users\\\u00E4SA\\appdata\\local\\QUOLVENARIX\\1.70.0\\\\"), name);
  EXPECT_NE(lockName(u"C:\\Users\\\u00C4sa\\AppData\\Local\\Quolvenarix\\1.70.1"), name);
  EXPECT_NE(lockName(u"C:\\Users\\\u00C4sa\\AppData\\Local\\Quolvenarix"), name);
  // The longest target directory gives a name of the same length.
  EXPECT_EQ(lockName(u"C:\\" + std::u16string(kPathCapacity - 4, u'a')).size(),
            kDirectoryLockNameCapacity - 1);
}

TEST(DirectoryLock, ShortNamesOfAFolderOrOfItsAncestorLeadToTheSameLock) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring longPath = std::wstring(temp) + L"Tavmor Lock Spelling Folder";
  CreateDirectoryW(longPath.c_str(), nullptr);
  wchar_t shortPath[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(longPath.c_str(), shortPath, MAX_PATH), 0u);
  const std::u16string spelledLong(longPath.begin(), longPath.end());
  const std::u16string spelledShort(shortPath, shortPath + wcslen(shortPath));
  ASSERT_NE(spelledShort, spelledLong);

  EXPECT_EQ(lockName(spelledShort), lockName(spelledLong));
  // Below it, where nothing exists yet: the ancestor's final path counts.
  EXPECT_EQ(lockName(spelledShort + u"\\not\\yet"), lockName(spelledLong + u"\\Not\\Yet\\"));
  EXPECT_NE(lockName(spelledLong + u"\\not"), lockName(spelledLong));
  RemoveDirectoryW(longPath.c_str());
}

}  // namespace
