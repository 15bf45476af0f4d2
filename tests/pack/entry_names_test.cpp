#include "entry_names.h"

#include <gtest/gtest.h>

namespace {

TEST(EntryNameProblem, AcceptsOrdinaryRelativePaths) {
  for (const char16_t* name :
       {u"app.exe", u"lib\\core.dll", u"a\\b\\c\\d\\e\\f.txt", u".config", u"CONSOLE.txt", u"COM10",
        u"LPT0.log", u"xNUL", u"a b.txt", u"\u00E4\\\xD83D\xDE00.txt", u"{brace}"}) {
    EXPECT_EQ(entryNameProblem(name), "") << std::u16string(name).size();
  }
}

TEST(EntryNameProblem, LengthLimitIs1023Units) {
  EXPECT_EQ(entryNameProblem(std::u16string(1023, u'a')), "");
  EXPECT_NE(entryNameProblem(std::u16string(1024, u'a')), "");
  // A folder component counts like any other unit.
  EXPECT_NE(entryNameProblem(std::u16string(600, u'a') + u'\\' + std::u16string(423, u'b')), "");
}

TEST(EntryNameProblem, RefusesNamesWindowsWouldChangeOrRefuse) {
  const char16_t* const refused[] = {u"",         u".",         u"..",
                                     u"a\\..\\b", u"a\\.\\b",   u"\\lead",
                                     u"trail\\",  u"a\\\\b",    u"C:\\x",
                                     u"a<b",      u"a>b",       u"a\"b",
                                     u"a|b",      u"a?b",       u"a*b",
                                     u"a/b",      u"stream:x",  u"tab\tname",
                                     u"bell\x07", u"dot.",      u"blank ",
                                     u"dir.\\x",  u"dir \\x",   u"CON",
                                     u"con",      u"Prn.txt",   u"aux.tar.gz",
                                     u"NUL",      u"COM1",      u"com9.log",
                                     u"LPT1",     u"lpt9",      u"dir\\Con.txt\\x",
                                     u"CON .txt", u"COM\u00B9", u"lpt\u00B3.txt"};
  for (const char16_t* name : refused) {
    EXPECT_NE(entryNameProblem(name), "") << std::u16string(name).size();
  }
  // The launcher's temporary names, in any case, also as a folder.
  EXPECT_NE(entryNameProblem(u"x.tavmor-partial"), "");
  EXPECT_NE(entryNameProblem(u"d.TAVMOR-Partial\\x"), "");
  EXPECT_EQ(entryNameProblem(u"x.tavmor-partial.txt"), "");
  // The launcher's record, at the top only.
  EXPECT_NE(entryNameProblem(u".Tavmor-Record"), "");
  EXPECT_NE(entryNameProblem(u".tavmor-record\\x"), "");
  EXPECT_EQ(entryNameProblem(u"d\\.tavmor-record"), "");
}

TEST(EntryNameSet, FindsNamesThatWindowsPutInOnePlace) {
  EntryNameSet names;
  EXPECT_EQ(names.add(u"App.exe"), u"");
  EXPECT_EQ(names.add(u"data\\One.txt"), u"");
  EXPECT_EQ(names.add(u"DATA\\two.txt"), u"");  // folders may differ in case
  EXPECT_EQ(names.add(u"app.EXE"), u"App.exe");
  EXPECT_EQ(names.add(u"Data\\ONE.TXT"), u"data\\One.txt");
  // A file where another name has a folder, and the other way round.
  EXPECT_EQ(names.add(u"data"), u"data\\One.txt");
  EXPECT_EQ(names.add(u"app.exe\\inner.txt"), u"App.exe");
  // Unicode letters fold too.
  EXPECT_EQ(names.add(u"\u00C4rger.txt"), u"");
  EXPECT_EQ(names.add(u"\u00E4rger.txt"), u"\u00C4rger.txt");
  // Beyond Latin-1: Greek and Cyrillic fold as NTFS folds them.
  EXPECT_EQ(names.add(u"\u03C3\u0436.txt"), u"");
  EXPECT_EQ(names.add(u"\u03A3\u0416.TXT"), u"\u03C3\u0436.txt");
}

TEST(EntryNameSet, FindsShortAliasesOfLongNamesBesideThem) {
  EntryNameSet names;
  EXPECT_EQ(names.add(u"docs\\LongFileName.txt"), u"");
  EXPECT_EQ(names.add(u"LONGFI~1.TXT"), u"");  // another folder
  EXPECT_EQ(names.add(u"docs\\LONGFI~1.TXT"), u"docs\\LongFileName.txt");
  EXPECT_EQ(names.add(u"docs\\longfi~2.txt"), u"docs\\LongFileName.txt");
  EXPECT_EQ(names.add(u"docs\\LONGFI~1.DOC"), u"");  // another extension
  EXPECT_EQ(names.add(u"docs\\PROGRA~1"), u"");
  EXPECT_EQ(names.add(u"docs\\Program Files"), u"docs\\PROGRA~1");
  EXPECT_EQ(names.add(u"docs\\A~B.txt"), u"");  // no digits after the tilde
}

}  // namespace
