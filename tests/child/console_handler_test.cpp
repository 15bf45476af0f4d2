// The launch and the console handler with a real child process. The handler
// is called directly: a GUI process under Wine gets no console events.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <future>

#include "child/launch.h"
#include "process_win32.h"

namespace {

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Starts the probe through launchChild on a thread of its own, as the main
// flow would, and returns once the handler has a child to act on.
class RunningChild {
 public:
  RunningChild(const wchar_t* sleepMs, const wchar_t* exitCode) {
    SetEnvironmentVariableW(L"TAVMOR_PROBE_QUIET", L"1");
    SetEnvironmentVariableW(L"TAVMOR_PROBE_SLEEP_MS", sleepMs);
    SetEnvironmentVariableW(L"TAVMOR_PROBE_EXIT_CODE", exitCode);
    program_ = windowsPathOf(TAVMOR_PROBE_CHILD);
    exitCode_ = std::async(std::launch::async, [this] {
      return launchChild(reinterpret_cast<const Utf16Unit*>(program_.c_str()));
    });
    while (!childIsRunning()) Sleep(1);
  }
  DWORD exitCode() { return static_cast<DWORD>(exitCode_.get()); }
  bool stillRunning() {
    return exitCode_.wait_for(std::chrono::milliseconds(0)) == std::future_status::timeout;
  }

 private:
  std::wstring program_;
  std::future<int> exitCode_;
};

TEST(ConsoleControlHandler, PassesEverythingOnWhileNoChildRuns) {
  for (DWORD code : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u}) EXPECT_FALSE(consoleControlHandler(code));
}

TEST(ConsoleControlHandler, AChildEndingWithinTheGraceTimeKeepsItsOwnExitCode) {
  RunningChild child(L"1000", L"0xC0000005");
  EXPECT_FALSE(consoleControlHandler(CTRL_BREAK_EVENT));
  // The handler came back because the child ended, not because it killed it.
  EXPECT_EQ(child.exitCode(), 0xC0000005u);
  EXPECT_FALSE(childIsRunning());
}

TEST(ConsoleControlHandler, IgnoredCodesPassAtOnceAndARunningChildIsTerminatedAfterGrace) {
  RunningChild child(L"60000", L"7");
  for (DWORD code : {3u, 4u, 7u, 100u, 0xFFFFFFFFu}) {
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(consoleControlHandler(code));
    // Far below the 5000 ms the handler would give a child.
    EXPECT_LT(millisecondsSince(start), 2500) << code;
  }
  EXPECT_TRUE(child.stillRunning());

  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(consoleControlHandler(CTRL_CLOSE_EVENT));
  EXPECT_GE(millisecondsSince(start), 4900);
  // The main flow's wait ends and it returns the child's code, the 0 given.
  EXPECT_EQ(child.exitCode(), 0u);
  // The handle is closed and the slot empty: a later event passes straight on.
  EXPECT_FALSE(childIsRunning());
  EXPECT_FALSE(consoleControlHandler(CTRL_LOGOFF_EVENT));
}

TEST(LaunchChildDeathTest, AProgramThatCannotStartReportsAndExitsTwo) {
  // The system text follows inside the brackets; the line ends there.
  EXPECT_EXIT(launchChild(u"C:\\no such folder\\child.exe"), testing::ExitedWithCode(2),
              "^Error, couldn't launch child \\(\\[Error \\d+\\] .+\\)\\s*$");
}

}  // namespace
