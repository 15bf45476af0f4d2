// The name of a target directory's lock, with the platform's case folding.
#include "target/directory_lock.h"

#include <gtest/gtest.h>

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

}  // namespace
