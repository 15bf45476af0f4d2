// The quoting checked against the platform's own splitting: whatever the
// launcher was given, the child must get back exactly that list.
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <random>
#include <string>
#include <vector>

#include "child/command_line.h"

namespace {

std::vector<std::wstring> split(const wchar_t* commandLine) {
  int count = 0;
  LPWSTR* const arguments = CommandLineToArgvW(commandLine, &count);
  std::vector<std::wstring> list(arguments, arguments + count);
  LocalFree(arguments);
  return list;
}

std::wstring asWide(const Utf16Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

// Units chosen for what the quoting must get right: backslashes and quotes
// in every order, the blanks that split, the controls that do not, and text
// beyond ASCII, a surrogate pair included.
const wchar_t* const kPieces[] = {L"a",    L"Z",          L"\\",     L"\\\\", L"\"", L" ",
                                  L"\t",   L"\n",         L"\v",     L"\r",   L"\f", L"é",
                                  L"日本", L"\U0001F600", L"\u00A0", L"C:\\", L"-",  L"=",
                                  L"\\\"", L"\"\\",       L"%PATH%"};

std::wstring randomArgument(std::mt19937& random) {
  std::wstring argument;
  const int pieces = std::uniform_int_distribution<int>(0, 7)(random);
  std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
  for (int i = 0; i < pieces; ++i) argument += kPieces[pick(random)];
  return argument;
}

TEST(ChildCommandLineRoundTrip, GeneratedListsComeBackExactlyWithTheModulePathFirst) {
  std::mt19937 random(20240611);
  const wchar_t* const modulePaths[] = {L"Z:\\apps\\run.exe", L"C:\\Program Files\\Tool\\run.exe",
                                        L"C:\\\u00FCber ein\\t\u00E4st.exe"};
  for (int round = 0; round < 4000; ++round) {
    const wchar_t* const modulePath = modulePaths[round % 3];
    std::vector<std::wstring> list{L"ignored first argument"};
    const int count = std::uniform_int_distribution<int>(0, 6)(random);
    for (int i = 0; i < count; ++i) list.push_back(randomArgument(random));
    std::vector<const Utf16Unit*> arguments;
    for (const std::wstring& argument : list) {
      arguments.push_back(reinterpret_cast<const Utf16Unit*>(argument.c_str()));
    }

    copyText(launcherModulePath, kPathCapacity, reinterpret_cast<const Utf16Unit*>(modulePath));
    joinChildCommandLine(arguments.data(), static_cast<int>(arguments.size()));

    std::vector<std::wstring> expected = list;
    expected[0] = modulePath;
    const std::vector<std::wstring> got = split(reinterpret_cast<wchar_t*>(childCommandLine));
    ASSERT_EQ(got, expected) << "command line: [" << asWide(childCommandLine) << "]";
  }
}

TEST(ChildCommandLineRoundTrip, BuildingFromOwnCommandLinePutsOwnModulePathFirst) {
  launcherModulePath[0] = 0;
  buildChildCommandLine();

  wchar_t modulePath[kPathCapacity];
  GetModuleFileNameW(nullptr, modulePath, kPathCapacity);
  std::vector<std::wstring> expected = split(GetCommandLineW());
  expected[0] = modulePath;
  EXPECT_EQ(split(reinterpret_cast<wchar_t*>(childCommandLine)), expected);
}

}  // namespace
