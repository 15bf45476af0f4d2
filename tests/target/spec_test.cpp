#include "target/spec.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_platform.h"

namespace {

struct Expansion {
  bool expanded;
  std::u16string output;
};

// Expands into a buffer larger than `capacity`, so a write past the capacity
// would show in the output rather than in memory the sanitizers guard.
Expansion expand(const std::u16string& spec, uint64_t capacity = 4096) {
  std::u16string buffer(capacity + 16, u'#');
  const bool expanded = expandSpec(buffer.data(), spec.c_str(), capacity);
  return {expanded, std::u16string(buffer.c_str())};
}

Expansion succeeded(const std::u16string& output) { return {true, output}; }
Expansion failed(const std::u16string& partialOutput) { return {false, partialOutput}; }

bool operator==(const Expansion& a, const Expansion& b) {
  return a.expanded == b.expanded && a.output == b.output;
}

void PrintTo(const Expansion& e, std::ostream* os) {
  *os << (e.expanded ? "true, \"" : "false, \"");
  for (char16_t unit : e.output) *os << static_cast<char>(unit < 128 ? unit : '?');
  *os << '"';
}

class SpecExpansion : public testing::Test {
 protected:
  void SetUp() override { fakePlatform = FakePlatform{}; }
};

TEST_F(SpecExpansion, LiteralsAndTheBuiltInSpec) {
  EXPECT_EQ(expand(u""), succeeded(u""));
  EXPECT_EQ(expand(u"C:\\plain\\path"), succeeded(u"C:\\plain\\path"));
  EXPECT_EQ(expand(u"{CACHE_DIR}\\Quolvenarix\\1.70.0"),
            succeeded(u"C:\\Users\\u\\AppData\\Local\\Quolvenarix\\1.70.0"));
}

TEST_F(SpecExpansion, EveryNameInAnyCase) {
  EXPECT_EQ(expand(u"{temp}|{Temp}|{TEMP}"), succeeded(u"C:\\Temp|C:\\Temp|C:\\Temp"));
  EXPECT_EQ(expand(u"{home}|{Cache_Dir}"), succeeded(u"C:\\Users\\u|C:\\Users\\u\\AppData\\Local"));
  EXPECT_EQ(expand(u"{program}|{Program_Base}|{program_dir}"),
            succeeded(u"C:\\x\\App.EXE|C:\\x\\App|C:\\x"));
  EXPECT_EQ(expand(u"{company}|{Product}|{version}|{file_version}|{PRODUCT_VERSION}"),
            succeeded(u"Pelmarith|Quolvenarix|1.70.0|1.70.0.7|1.70-pv"));
  EXPECT_EQ(expand(u"{pid}"), succeeded(u"4242"));
}

TEST_F(SpecExpansion, UnknownAndEmptyNamesFailKeepingWhatCameBefore) {
  EXPECT_EQ(expand(u"ab{TEMPO}cd"), failed(u"ab"));
  EXPECT_EQ(expand(u"ab{}"), failed(u"ab"));
  EXPECT_EQ(expand(u"{TEMP}\\{NOSUCH}"), failed(u"C:\\Temp\\"));
  EXPECT_EQ(expand(u"{ TEMP}"), failed(u""));
}

TEST_F(SpecExpansion, BracesOutsideAClosedPair) {
  // A second "{" restarts the name; an unclosed one is dropped.
  EXPECT_EQ(expand(u"a{b{TEMP}"), succeeded(u"aC:\\Temp"));
  EXPECT_EQ(expand(u"abc{TEMP"), succeeded(u"abc"));
  EXPECT_EQ(expand(u"abc{"), succeeded(u"abc"));
  // A "}" with nothing open is an ordinary character.
  EXPECT_EQ(expand(u"a}b"), succeeded(u"a}b"));
  EXPECT_EQ(expand(u"{VERSION}}"), succeeded(u"1.70.0}"));
  EXPECT_EQ(expand(u"ab}", 3), failed(u"ab"));
}

TEST_F(SpecExpansion, LiteralsFillTheCapacityExactly) {
  EXPECT_EQ(expand(u"abc", 4), succeeded(u"abc"));
  EXPECT_EQ(expand(u"abcd", 4), failed(u"abc"));
  EXPECT_EQ(expand(u"", 1), succeeded(u""));
  EXPECT_EQ(expand(u"a", 1), failed(u""));
  // Names do not count against the capacity.
  EXPECT_EQ(expand(u"{VERSION}", 7), succeeded(u"1.70.0"));
}

TEST_F(SpecExpansion, NamesOfAThousandAndTwentyFourUnitsFail) {
  const std::u16string longest(1023, u'N');
  const std::u16string tooLong(1024, u'N');
  // A name that fits its buffer is dropped by the next "{" as usual.
  EXPECT_EQ(expand(u"a{" + longest + u"{VERSION}"), succeeded(u"a1.70.0"));
  EXPECT_EQ(expand(u"a{" + tooLong + u"{VERSION}"), failed(u"a"));
  EXPECT_EQ(expand(u"a{" + tooLong + u"}"), failed(u"a"));
  EXPECT_EQ(expand(u"a{" + std::u16string(5000, u'N')), failed(u"a"));
}

TEST_F(SpecExpansion, StrippingRemovesTrailingBackslashesOfTheOutput) {
  fakePlatform.temporaryDirectory = u"C:\\Temp\\\\\\";
  EXPECT_EQ(expand(u"{TEMP}"), succeeded(u"C:\\Temp"));
  // Backslashes written after the placeholder stay.
  EXPECT_EQ(expand(u"{TEMP}\\\\App"), succeeded(u"C:\\Temp\\\\App"));
  fakePlatform.temporaryDirectory = u"C:\\";
  EXPECT_EQ(expand(u"{TEMP}"), succeeded(u"C:"));
  fakePlatform.profile = u"D:\\home\\\\";
  EXPECT_EQ(expand(u"{HOME}\\sub"), succeeded(u"D:\\home\\sub"));
  // The strip works on the output as a whole: an empty folder takes the
  // separators before it too, down to the start.
  fakePlatform.profile = u"";
  EXPECT_EQ(expand(u"x\\\\{HOME}"), succeeded(u"x"));
  EXPECT_EQ(expand(u"\\\\{HOME}"), succeeded(u""));
  // The program path is never stripped.
  fakePlatform.programPath = u"C:\\odd\\";
  EXPECT_EQ(expand(u"{PROGRAM}"), succeeded(u"C:\\odd\\"));
}

TEST_F(SpecExpansion, TemporaryDirectoryThatCannotBeHadWholeFails) {
  fakePlatform.temporaryDirectoryFails = true;
  EXPECT_EQ(expand(u"a\\{TEMP}\\App"), failed(u"a\\"));
  fakePlatform.temporaryDirectoryFails = false;
  // "C:\Temp\" is 8 units: after "ab" it needs 2 + 8 + 1.
  EXPECT_EQ(expand(u"ab{TEMP}", 11), succeeded(u"abC:\\Temp"));
  EXPECT_EQ(expand(u"ab{TEMP}", 10), failed(u"ab"));
}

TEST_F(SpecExpansion, ProgramPathForms) {
  fakePlatform.programPath = u"C:\\x\\tool";
  EXPECT_EQ(expand(u"{PROGRAM_BASE}"), succeeded(u"C:\\x\\tool"));
  fakePlatform.programPath = u".exe";
  EXPECT_EQ(expand(u"{PROGRAM_BASE}"), succeeded(u""));
  fakePlatform.programPath = u"exe";
  EXPECT_EQ(expand(u"{PROGRAM_BASE}"), succeeded(u"exe"));
  // Only the program path is cut back, never what stood before it.
  fakePlatform.programPath = u"App.exe";
  EXPECT_EQ(expand(u"a\\b\\{PROGRAM_DIR}"), succeeded(u"a\\b\\App.exe"));
  EXPECT_EQ(expand(u"a\\b\\{PROGRAM_BASE}"), succeeded(u"a\\b\\App"));
}

TEST_F(SpecExpansion, ProgramPathThatCannotBeHadWholeFails) {
  fakePlatform.programPathFails = true;
  for (const char16_t* name : {u"{PROGRAM}", u"{PROGRAM_BASE}", u"{PROGRAM_DIR}"}) {
    EXPECT_EQ(expand(u"pre\\" + std::u16string(name) + u"\\post"), failed(u"pre\\")) << name;
  }
  fakePlatform.programPathFails = false;
  // "C:\x\App.EXE" is 12 units.
  EXPECT_EQ(expand(u"{PROGRAM_DIR}", 13), succeeded(u"C:\\x"));
  EXPECT_EQ(expand(u"{PROGRAM_DIR}", 12), failed(u""));
}

TEST_F(SpecExpansion, UserFoldersThePlatformCannotGiveFail) {
  fakePlatform.userFoldersFail = true;
  EXPECT_EQ(expand(u"a{HOME}"), failed(u"a"));
  EXPECT_EQ(expand(u"b{CACHE_DIR}\\Quolvenarix"), failed(u"b"));
}

TEST_F(SpecExpansion, ProcessIdFromTheParentVariableOrThisProcess) {
  fakePlatform.environment["TAVMOR_ONEFILE_PARENT"] = u"1234";
  EXPECT_EQ(expand(u"{PID}"), succeeded(u"1234"));
  fakePlatform.environment["TAVMOR_ONEFILE_PARENT"] = u"";
  EXPECT_EQ(expand(u"{PID}"), succeeded(u"4242"));
  fakePlatform.environment.erase("TAVMOR_ONEFILE_PARENT");
  EXPECT_EQ(expand(u"{PID}"), succeeded(u"4242"));
  // Reading the id never publishes it.
  EXPECT_EQ(fakePlatform.environment.count("TAVMOR_ONEFILE_PARENT"), 0u);
}

TEST_F(SpecExpansion, TimeAndRandomAreMadeOnceAndKeptInTheEnvironment) {
  fakePlatform.systemTime = 133000000000000420;
  EXPECT_EQ(expand(u"{TIME}-{TIME}"), succeeded(u"133000000000000420-133000000000000420"));
  EXPECT_EQ(fakePlatform.environment["TAVMOR_ONEFILE_START"], u"133000000000000420");
  EXPECT_EQ(fakePlatform.systemTimeReads, 1);

  // A clock reading of its own, not the one {TIME} made.
  fakePlatform.systemTime = 133000000009990000;
  EXPECT_EQ(expand(u"{TIME_US}{TIME_US}"), succeeded(u"999000999000"));
  EXPECT_EQ(fakePlatform.environment["TAVMOR_ONEFILE_TIME_US"], u"999000");
  EXPECT_EQ(fakePlatform.systemTimeReads, 2);

  EXPECT_EQ(expand(u"{RANDOM}"), succeeded(u"IQHFT9HQGrI"));
  fakePlatform.randomSeed = 2;
  EXPECT_EQ(expand(u"{RANDOM}"), succeeded(u"IQHFT9HQGrI"));
  EXPECT_EQ(fakePlatform.environment["TAVMOR_ONEFILE_RANDOM"], u"IQHFT9HQGrI");
}

TEST_F(SpecExpansion, StoredTimeAndRandomValuesAreUsedAsTheyStand) {
  fakePlatform.environment["TAVMOR_ONEFILE_START"] = u"start";
  fakePlatform.environment["TAVMOR_ONEFILE_TIME_US"] = u"us";
  fakePlatform.environment["TAVMOR_ONEFILE_RANDOM"] = u"r\\x";
  EXPECT_EQ(expand(u"{TIME}|{TIME_US}|{RANDOM}"), succeeded(u"start|us|r\\x"));
  EXPECT_EQ(fakePlatform.systemTimeReads, 0);
}

using SpecExpansionDeathTest = SpecExpansion;

TEST_F(SpecExpansionDeathTest, ValuesOfTheSystemsOwnMakingThatDoNotFitAbort) {
  EXPECT_DEATH(expand(u"{VERSION}", 6), "");
  EXPECT_DEATH(expand(u"abc{PID}", 7), "");
  fakePlatform.profile = u"C:\\Users\\someone";
  EXPECT_DEATH(expand(u"{HOME}", 16), "");
}

TEST_F(SpecExpansionDeathTest, ParentVariableWithANonDigitAborts) {
  fakePlatform.environment["TAVMOR_ONEFILE_PARENT"] = u"12a4";
  EXPECT_DEATH(expand(u"{PID}"), "");
  fakePlatform.environment["TAVMOR_ONEFILE_PARENT"] = u"-12";
  EXPECT_DEATH(expand(u"{PID}"), "");
  fakePlatform.environment["TAVMOR_ONEFILE_PARENT"] = u"\uFF11";  // a full-width 1
  EXPECT_DEATH(expand(u"{PID}"), "");
}

}  // namespace
