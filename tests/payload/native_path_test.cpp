#include "payload/native_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The native form of `path`, or "refused".
std::u16string native(const std::u16string& path, size_t capacity = kNativePathCapacity) {
  std::u16string out(capacity, u'#');
  if (!nativePathFromWin32(path.c_str(), out.data(), capacity)) return u"refused";
  return out.substr(0, out.find(u'\0'));
}

TEST(NativePath, OnlyThePrefixChanges) {
  EXPECT_EQ(native(u"C:\\cache\\app.exe"), u"\\??\\C:\\cache\\app.exe");
  EXPECT_EQ(native(u"z:\\a b\\c"), u"\\??\\z:\\a b\\c");
  EXPECT_EQ(native(u"\\\\server\\share\\app.exe"), u"\\??\\UNC\\server\\share\\app.exe");
  EXPECT_EQ(native(u"\\\\?\\C:\\x\\y."), u"\\??\\C:\\x\\y.");
  EXPECT_EQ(native(u"\\\\?\\UNC\\s\\sh\\x"), u"\\??\\UNC\\s\\sh\\x");
  for (const std::u16string path :
       {u"", u"app.exe", u"cache\\app.exe", u"\\cache\\app.exe", u"C:", u"C:app.exe", u"1:\\x",
        u"\\\\.\\COM1", u"\\\\?", u"\\\\", u"\\\\\\x", u"\\\\.\\C:\\x", u"\\\\?x"}) {
    EXPECT_EQ(native(path), u"refused") << std::string(path.begin(), path.end());
  }
}

TEST(NativePath, RefusesWhatDoesNotFitWithItsTerminator) {
  const std::u16string longest(kPathCapacity - 1, u'x');
  const std::u16string drive = u"C:\\" + longest.substr(3);
  EXPECT_EQ(native(drive), u"\\??\\" + drive);
  EXPECT_EQ(native(u"\\\\" + longest.substr(2)), u"\\??\\UNC\\" + longest.substr(2));
  EXPECT_EQ(native(u"C:\\x", 9), u"\\??\\C:\\x");
  EXPECT_EQ(native(u"C:\\x", 8), u"refused");
}

}  // namespace
