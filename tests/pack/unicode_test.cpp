#include "unicode.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8ToUtf16, ConvertsEveryLengthAndSplitsAstralCharactersIntoPairs) {
  std::u16string out;
  ASSERT_TRUE(utf8ToUtf16("a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", out));
  EXPECT_EQ(out, std::u16string(u"a\u00E4\u20AC\xD83D\xDE00"));
  ASSERT_TRUE(utf8ToUtf16("\xF4\x8F\xBF\xBF", out));  // U+10FFFF, the last
  EXPECT_EQ(out, std::u16string(u"\xDBFF\xDFFF"));
  ASSERT_TRUE(utf8ToUtf16("", out));
  EXPECT_TRUE(out.empty());
}

TEST(Utf8ToUtf16, RefusesMalformedInput) {
  std::u16string out;
  for (const char* bad : {
           "\xC0\x80",          // overlong NUL
           "\xE0\x80\xAF",      // overlong slash
           "\xED\xA0\x80",      // a surrogate encoded directly
           "\xF4\x90\x80\x80",  // above U+10FFFF
           "\xE2\x82",          // cut short
           "\x80",              // a continuation byte alone
           "\xF8\x88\x80\x80\x80",
           "a\xC3",
       }) {
    EXPECT_FALSE(utf8ToUtf16(bad, out)) << bad;
  }
}

TEST(ToUtf8, RoundTripsAndReplacesLoneSurrogates) {
  const std::u16string text = u"x\u00E4\u20AC\xD83D\xDE00";
  std::u16string back;
  ASSERT_TRUE(utf8ToUtf16(toUtf8(text), back));
  EXPECT_EQ(back, text);
  EXPECT_EQ(toUtf8(std::u16string(u"a\xD800"
                                  u"b\xDC00")),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

TEST(UpperCase, FoldsUnitsTheWayFileNamesCompare) {
  EXPECT_EQ(upperCase(u"Read-Me_1.txt"), u"READ-ME_1.TXT");
  EXPECT_EQ(upperCase(u"\u00E4\u00F6\u03C9\u0436"), u"\u00C4\u00D6\u03A9\u0416");
  // One unit stays one unit: no expansion of sharp s, no change to pairs.
  EXPECT_EQ(upperCase(u"\u00DF"), u"\u00DF");
  EXPECT_EQ(upperCase(u"\xD801\xDC28"), u"\xD801\xDC28");
}

}  // namespace
