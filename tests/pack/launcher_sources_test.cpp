#include "launcher_sources.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(UnitArray, WritesEveryUnitAndTheTerminator) {
  EXPECT_EQ(unitArray(u""), "0");
  EXPECT_EQ(unitArray(u"A\"\\"), "0x0041, 0x0022, 0x005c, 0");
  EXPECT_EQ(unitArray(u"\xD83D\xDE00"), "0xd83d, 0xde00, 0");
}

TEST(FillTemplate, ReplacesPlaceholdersAndLeavesOtherAtSigns) {
  EXPECT_EQ(fillTemplate("x = {@A@}; // mail@example.org @B@@A@", {{"A", "1"}, {"B", "2"}}),
            "x = {1}; // mail@example.org 21");
  EXPECT_THROW(fillTemplate("@MISSING@", {{"A", "1"}}), std::runtime_error);
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
    EXPECT_EQ(specProblem(spec), "") << std::u16string(spec).size();
  }
}

TEST(SpecProblem, RefusesWhatWouldFailOrVanishAtRunTime) {
  for (const char16_t* spec :
       {u"", u"{NOSUCH}\\x", u"{}", u"{TEMPO}", u"abc{TEMP", u"a}b", u"a{b{TEMP}"}) {
    EXPECT_NE(specProblem(spec), "") << std::u16string(spec).size();
  }
}

TEST(ResourceScript, HoldsTheVersionResourceIconAndManifest) {
  VersionResource version;
  version.fileVersion = {1, 70, 0, 0};
  version.productVersion = {2, 0, 0, 1};
  version.companyName = u"Pelmarith \"P\" \\ \u00E4";
  version.productName = u"Quolvenarix";
  version.internalName = u"Quolvenarix";
  version.originalFilename = u"Quolvenarix.exe";
  version.fileDescription = u"Quolvenarix \xD83D\xDE00";
  const std::string script = resourceScript(version, "launcher.ico", "launcher.manifest");
  for (const char* line : {
           "1 ICON \"launcher.ico\"\n",
           "1 24 \"launcher.manifest\"\n",
           "FILEVERSION 1,70,0,0\n",
           "PRODUCTVERSION 2,0,0,1\n",
           "VALUE \"FileVersion\", L\"1.70.0.0\"\n",
           "VALUE \"ProductVersion\", L\"2.0.0.1\"\n",
           "VALUE \"CompanyName\", L\"Pelmarith \\x0022P\\x0022 \\x005c \\x00e4\"\n",
           "VALUE \"ProductName\", L\"Quolvenarix\"\n",
           "VALUE \"InternalName\", L\"Quolvenarix\"\n",
           "VALUE \"OriginalFilename\", L\"Quolvenarix.exe\"\n",
           "VALUE \"FileDescription\", L\"Quolvenarix \\xd83d\\xde00\"\n",
       }) {
    EXPECT_NE(script.find(line), std::string::npos) << line;
  }
}

}  // namespace
