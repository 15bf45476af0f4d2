// Spec expansion against the real platform: every placeholder's value, the
// values kept in the environment, and qualification of the target directory.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "target/spec.h"

namespace {

std::wstring expanded(const wchar_t* spec, uint64_t capacity = kPathCapacity) {
  static PathBuffer output;
  const bool ok = expandSpec(output, reinterpret_cast<const Utf16Unit*>(spec), capacity);
  EXPECT_TRUE(ok) << spec;
  return reinterpret_cast<const wchar_t*>(output);
}

bool expands(const wchar_t* spec, uint64_t capacity) {
  static PathBuffer output;
  return expandSpec(output, reinterpret_cast<const Utf16Unit*>(spec), capacity);
}

std::wstring variable(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length == 0 ? L"<absent>" : std::wstring(value, length);
}

std::wstring withoutTrailingBackslashes(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring temporaryDirectory() {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, path);
  return std::wstring(path, length);
}

std::wstring userFolder(int csidl) {
  wchar_t path[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path), S_OK);
  return path;
}

std::wstring modulePath() {
  wchar_t path[4096];
  const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
  return std::wstring(path, length);
}

bool allDigits(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

TEST(Placeholders, FoldersAndProgramPathAsThePlatformReportsThem) {
  const std::wstring temp = temporaryDirectory();
  ASSERT_EQ(temp.back(), L'\\');
  EXPECT_EQ(expanded(L"{TEMP}"), withoutTrailingBackslashes(temp));
  EXPECT_EQ(expanded(L"{HOME}\\sub"),
            withoutTrailingBackslashes(userFolder(CSIDL_PROFILE)) + L"\\sub");
  EXPECT_EQ(expanded(L"{CACHE_DIR}\\Quolvenarix\\1.70.0"),
            withoutTrailingBackslashes(userFolder(CSIDL_LOCAL_APPDATA)) + L"\\Quolvenarix\\1.70.0");

  const std::wstring program = modulePath();
  ASSERT_EQ(_wcsicmp(program.substr(program.size() - 4).c_str(), L".exe"), 0) << program;
  EXPECT_EQ(expanded(L"{PROGRAM}"), program);
  EXPECT_EQ(expanded(L"{PROGRAM_BASE}"), program.substr(0, program.size() - 4));
  EXPECT_EQ(expanded(L"{PROGRAM_DIR}"), program.substr(0, program.rfind(L'\\')));
}

// The platform's own answer to a buffer one unit too small decides whether a
// path counts as cut: it must fail the expansion, never yield a shorter path.
TEST(Placeholders, PathsThatDoNotFitWholeFail) {
  const uint64_t tempLength = temporaryDirectory().size();
  EXPECT_TRUE(expands(L"{TEMP}", tempLength + 1));
  EXPECT_FALSE(expands(L"{TEMP}", tempLength));
  EXPECT_FALSE(expands(L"ab{TEMP}", tempLength + 2));

  const uint64_t programLength = modulePath().size();
  for (const wchar_t* spec : {L"{PROGRAM}", L"{PROGRAM_BASE}", L"{PROGRAM_DIR}"}) {
    EXPECT_TRUE(expands(spec, programLength + 1)) << spec;
    EXPECT_FALSE(expands(spec, programLength)) << spec;
  }
}

TEST(Placeholders, ProcessIdFromTheParentVariableOrThisProcess) {
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_PARENT", L"1234");
  EXPECT_EQ(expanded(L"{PID}"), L"1234");
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_PARENT", L"");
  EXPECT_EQ(expanded(L"{PID}"), std::to_wstring(GetCurrentProcessId()));
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_PARENT", nullptr);
  EXPECT_EQ(expanded(L"{pid}"), std::to_wstring(GetCurrentProcessId()));
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_PARENT"), L"<absent>");
}

TEST(Placeholders, TimeAndRandomStayTheSameWithinTheProcess) {
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_START", nullptr);
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_TIME_US", nullptr);
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_RANDOM", nullptr);

  FILETIME before;
  GetSystemTimeAsFileTime(&before);
  const std::wstring time = expanded(L"{TIME}");
  ASSERT_TRUE(allDigits(time)) << time;
  const long long start = std::stoll(time);
  const long long earliest =
      static_cast<long long>((uint64_t{before.dwHighDateTime} << 32) | before.dwLowDateTime);
  // Within a minute of a reading of our own.
  EXPECT_GE(start, earliest);
  EXPECT_LT(start, earliest + 600000000LL);

  const std::wstring microseconds = expanded(L"{TIME_US}");
  EXPECT_EQ(microseconds.size(), 6u);
  EXPECT_TRUE(allDigits(microseconds)) << microseconds;

  const std::wstring random = expanded(L"{RANDOM}");
  ASSERT_EQ(random.size(), 11u);
  EXPECT_EQ(
      random.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
      std::wstring::npos)
      << random;

  Sleep(20);
  EXPECT_EQ(expanded(L"{TIME}|{TIME_US}|{RANDOM}"), time + L"|" + microseconds + L"|" + random);
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_START"), time);
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_TIME_US"), microseconds);
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_RANDOM"), random);
}

TEST(QualifyTargetDirectory, ResolvesAgainstTheCurrentDirectory) {
  wchar_t current[4096];
  GetCurrentDirectoryW(4096, current);
  const std::wstring base = withoutTrailingBackslashes(current);

  copyText(targetDirectory, kPathCapacity, u"a\\.\\b\\..\\c");
  qualifyTargetDirectory();
  EXPECT_EQ(reinterpret_cast<const wchar_t*>(targetDirectory), base + L"\\a\\c");

  copyText(targetDirectory, kPathCapacity, u"C:\\x\\y\\..\\z");
  qualifyTargetDirectory();
  EXPECT_EQ(reinterpret_cast<const wchar_t*>(targetDirectory), std::wstring(L"C:\\x\\z"));

  copyText(targetDirectory, kPathCapacity, u"C:\\Already\\Absolute");
  qualifyTargetDirectory();
  EXPECT_EQ(reinterpret_cast<const wchar_t*>(targetDirectory),
            std::wstring(L"C:\\Already\\Absolute"));
}

TEST(PlaceholdersDeathTest, ParentVariableWithANonDigitAborts) {
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_PARENT", L"12a4");
  EXPECT_DEATH(expanded(L"{PID}"), "");
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_PARENT", nullptr);
}

}  // namespace
