#include "payload/format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Checksum, ZeroCrcIsStoredAsOne) {
  EXPECT_EQ(contentChecksum("", 0), 1u);
  EXPECT_EQ(contentChecksum("123456789", 9), 0xCBF43926u);
}

TEST(Trailer, HoldsItsOwnOffsetBetweenThreeZeroBytes) {
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, 90045642);
  EXPECT_EQ(loadU64(trailer + 3), 0x55dfcd0u);
  for (int i : {0, 1, 2, 11, 12, 13}) EXPECT_EQ(trailer[i], 0) << i;
}

const char* nameFault(const std::u16string& name) {
  return entryNameFault(name.data(), name.size());
}

TEST(EntryName, RelativeFilePathsBelowTheTargetDirectory) {
  for (const std::u16string name : {u"a", u"Quolvenarix.exe", u"lib\\sub\\x.dll", u"..a", u"a..",
                                    u"...", u".hidden", u"\u00e9\u4e2d"}) {
    EXPECT_EQ(nameFault(name), nullptr);
  }
  EXPECT_EQ(nameFault(std::u16string(1023, u'n')), nullptr);
  EXPECT_STREQ(nameFault(u""), "the name is empty");
  EXPECT_STREQ(nameFault(std::u16string(1024, u'n')), "the name is longer than 1023 UTF-16 units");
  EXPECT_STREQ(nameFault(std::u16string(u"a\0b", 3)), "the name holds a zero unit");
  for (const std::u16string name : {u"\\a", u"a\\", u"a\\\\b", u"\\"}) {
    EXPECT_STREQ(nameFault(name), "the name has an empty path component");
  }
  for (const std::u16string name : {u".", u"..", u"a\\..\\b", u"a\\.", u"..\\x"}) {
    EXPECT_STREQ(nameFault(name), "the name has a \".\" or \"..\" path component");
  }
  for (const std::u16string name : {u"C:x", u"a/b", u"a<", u"a>", u"\"", u"|", u"?", u"*"}) {
    EXPECT_STREQ(nameFault(name), "the name holds one of < > : \" / | ? *");
  }
  EXPECT_STREQ(nameFault(u"a\tb"), "the name holds a control character");
}

}  // namespace
