#include "launcher_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

LauncherTexts quolvenarix() {
  LauncherTexts texts;
  texts.company = u"Pelmarith";
  texts.product = u"Quolvenarix";
  texts.version = texts.fileVersion = texts.productVersion = u"1.70.0";
  return texts;
}

TEST(ParseVersionNumbers, OneToFourNumbersPaddedWithZeros) {
  std::array<uint16_t, 4> numbers;
  ASSERT_TRUE(parseVersionNumbers("1.70.0", numbers));
  EXPECT_EQ(numbers, (std::array<uint16_t, 4>{1, 70, 0, 0}));
  ASSERT_TRUE(parseVersionNumbers("7", numbers));
  EXPECT_EQ(numbers, (std::array<uint16_t, 4>{7, 0, 0, 0}));
  ASSERT_TRUE(parseVersionNumbers("65535.0.1.2", numbers));
  EXPECT_EQ(numbers, (std::array<uint16_t, 4>{65535, 0, 1, 2}));
  for (const char* bad : {"", ".", "1.", ".1", "1..2", "1.2.3.4.5", "65536", "1.x", "-1",
                          "1.2-beta", " 1", "0000001"}) {
    EXPECT_FALSE(parseVersionNumbers(bad, numbers)) << bad;
  }
}

TEST(SpecProblem, AcceptsWhatTheLauncherExpands) {
  for (const char16_t* spec : {u"{CACHE_DIR}\\Quolvenarix\\1.70.0", u"{temp}\\{Product}\\{RANDOM}",
                               u"relative\\cache", u"{PROGRAM_DIR}\\{TIME}-{TIME_US}-{PID}",
                               u"{HOME}\\{COMPANY}\\{PRODUCT_VERSION}\\{FILE_VERSION}\\{VERSION}",
                               u"{PROGRAM_BASE}.cache"}) {
    EXPECT_EQ(specProblem(spec, quolvenarix()), "") << std::u16string(spec).size();
  }
}

TEST(SpecProblem, RefusesWhatWouldFailOrVanishAtRunTime) {
  for (const char16_t* spec :
       {u"", u"{NOSUCH}\\x", u"{}", u"{TEMPO}", u"abc{TEMP", u"a}b", u"a{b{TEMP}"}) {
    EXPECT_NE(specProblem(spec, quolvenarix()), "") << std::u16string(spec).size();
  }
}

TEST(SpecProblem, RefusesAFixedPartThatNoPathHolds) {
  LauncherTexts texts = quolvenarix();
  const std::u16string literal = u"C:\\" + std::u16string(4092, u'a');  // 4095 units
  EXPECT_EQ(specProblem(literal, texts), "");
  EXPECT_NE(specProblem(literal + u"b", texts), "");
  // Build-time values count; run-time ones are not known yet.
  texts.company = std::u16string(4000, u'c');
  EXPECT_NE(specProblem(u"C:\\" + std::u16string(95, u'a') + u"{COMPANY}", texts), "");
  EXPECT_EQ(specProblem(u"{TEMP}" + std::u16string(4095, u'a'), texts), "");
}

TEST(SpecWarnings, RelativeOutsideTheUserOrTheSameForEveryVersion) {
  const LauncherTexts texts = quolvenarix();
  const auto warned = [&](const char16_t* spec, const char* about) {
    for (const std::string& warning : specWarnings(spec, texts)) {
      if (warning.find(about) != std::string::npos) return true;
    }
    return false;
  };
  for (const char16_t* quiet :
       {u"{CACHE_DIR}\\Quolvenarix\\1.70.0", u"{temp}\\x\\{RANDOM}", u"{HOME}\\{VERSION}"}) {
    EXPECT_TRUE(specWarnings(quiet, texts).empty()) << std::u16string(quiet).size();
  }
  EXPECT_TRUE(warned(u"cache\\{VERSION}", "relative"));
  EXPECT_TRUE(warned(u"\\{VERSION}", "relative"));
  EXPECT_TRUE(warned(u"C:\\Apps\\{VERSION}", "outside the user's own folders"));
  EXPECT_TRUE(warned(u"{PROGRAM_DIR}\\{VERSION}", "outside the user's own folders"));
  EXPECT_TRUE(warned(u"{CACHE_DIR}\\Quolvenarix", "the same for every version"));
}

}  // namespace
