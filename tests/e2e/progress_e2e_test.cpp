// A long first start as a user sees it: a graphical launcher shows a window
// with the product's name and a bar, gone before the program starts; a
// console launcher shows one line on its console and erases it, and writes
// nothing to a redirected stream; a warm start and --progress none show
// nothing. The application's thousands of small files make its first start
// outlast the delay. progress_e2e.sh runs this under Xvfb.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "process_win32.h"

namespace {

constexpr wchar_t kWindowClass[] = L"TavmorProgressWindow";

std::wstring launcher(const char* name) {
  return windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/" + name + ".exe");
}

struct WindowSeen {
  bool seen = false;
  std::wstring title, text;
  LRESULT barRange = 0;
  LRESULT barPosition = 0;  // the highest seen
  bool hasTaskbarButton = false;
  bool centred = false;
  bool closed = false;      // hidden within a second of WM_CLOSE
  bool reappeared = false;  // a progress window of the launcher after that
};

LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 1000, &result);
  return static_cast<LRESULT>(result);
}

std::wstring textOf(HWND window) {
  wchar_t text[512] = {};
  ask(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

// Watches for a progress window of `started` until it ends; closes it, as
// a user would, once its bar has passed `closeAt` (never when 0).
WindowSeen watchForWindow(const PROCESS_INFORMATION& started, LRESULT closeAt = 0) {
  WindowSeen seen;
  while (WaitForSingleObject(started.hProcess, 10) == WAIT_TIMEOUT) {
    const HWND window = FindWindowW(kWindowClass, nullptr);
    DWORD owner = 0;
    if (window == nullptr || !IsWindowVisible(window)) continue;
    GetWindowThreadProcessId(window, &owner);
    if (owner != started.dwProcessId) continue;
    if (seen.closed) seen.reappeared = true;
    const HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
    const HWND label = FindWindowExW(window, nullptr, L"Static", nullptr);
    if (!seen.seen) {
      seen.seen = true;
      seen.title = textOf(window);
      seen.text = label == nullptr ? L"(no text)" : textOf(label);
      seen.barRange = bar == nullptr ? 0 : ask(bar, PBM_GETRANGE, FALSE);
      const LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
      seen.hasTaskbarButton = GetWindow(window, GW_OWNER) == nullptr &&
                              (extended & WS_EX_APPWINDOW) != 0 &&
                              (extended & WS_EX_TOOLWINDOW) == 0;
      RECT frame;
      MONITORINFO monitor = {};
      monitor.cbSize = sizeof monitor;
      GetWindowRect(window, &frame);
      GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
      const RECT& work = monitor.rcWork;
      seen.centred = std::abs((frame.left + frame.right) - (work.left + work.right)) <= 2 &&
                     std::abs((frame.top + frame.bottom) - (work.top + work.bottom)) <= 2;
    }
    if (bar != nullptr) seen.barPosition = std::max(seen.barPosition, ask(bar, PBM_GETPOS));
    if (closeAt != 0 && !seen.closed && seen.barPosition >= closeAt) {
      PostMessageW(window, WM_CLOSE, 0, 0);
      // Hidden at once; destroyed a second later under Xvfb, where Wine
      // waits for a window manager that is not there.
      for (int waited = 0; waited < 100 && IsWindowVisible(window); ++waited) Sleep(10);
      seen.closed = !IsWindowVisible(window);
    }
  }
  return seen;
}

TEST(ProgressWindow, ShowsOnALongFirstStartIsGoneBeforeTheProgramAndNeverOnAWarmStart) {
  ProcessOptions options;
  options.workingDirectory = makeScratchDirectory(L"progress-window");
  const PROCESS_INFORMATION first = startProgram(launcher("progress_gui_launcher"), options);
  ASSERT_NE(first.hProcess, nullptr);
  // Closed by the user at 70%: the window goes, the start goes on.
  const WindowSeen seen = watchForWindow(first, 700);
  // The program's exit code: 1 if it found the window still there.
  EXPECT_EQ(finishProgram(first), 0u);
  EXPECT_TRUE(seen.closed);
  EXPECT_FALSE(seen.reappeared);
  // Every file: the 8000 of make_progress_app.py and the two programs.
  EXPECT_EQ(filesBelow(options.workingDirectory + L"\\cache\\app").size(), 8002u);
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.title, L"ProgressProbe");
  EXPECT_EQ(seen.text, L"Preparing ProgressProbe for its first start");
  EXPECT_EQ(seen.barRange, 1000);
  EXPECT_GE(seen.barPosition, 700);
  EXPECT_TRUE(seen.hasTaskbarButton);
  EXPECT_TRUE(seen.centred);

  const PROCESS_INFORMATION warm = startProgram(launcher("progress_gui_launcher"), options);
  EXPECT_FALSE(watchForWindow(warm).seen);
  EXPECT_EQ(finishProgram(warm), 0u);
}

TEST(ProgressWindow, NoneShowsNoWindow) {
  ProcessOptions options;
  options.workingDirectory = makeScratchDirectory(L"progress-none");
  const PROCESS_INFORMATION none = startProgram(launcher("progress_gui_none_launcher"), options);
  EXPECT_FALSE(watchForWindow(none).seen);
  EXPECT_EQ(finishProgram(none), 0u);
}

// The characters of row `row` of this process's console, trailing spaces cut.
std::wstring consoleRow(HANDLE screen, SHORT row) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  GetConsoleScreenBufferInfo(screen, &info);
  std::wstring text(static_cast<size_t>(info.dwSize.X), L' ');
  DWORD read = 0;
  ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), {0, row},
                              &read);
  text.resize(read);
  while (!text.empty() && text.back() == L' ') text.pop_back();
  return text;
}

// Runs a console launcher on a console of this process's own, and tells
// whether the first row ever showed `line` (its start, and the figures) while
// it ran, and what the row held when it ended.
struct ConsoleRun {
  bool lineSeen = false;
  std::wstring lineShown, afterwards;
  DWORD exitCode = 0;
};

ConsoleRun runOnConsole(const char* name, const std::wstring& line) {
  ConsoleRun run;
  FreeConsole();
  if (!AllocConsole()) {
    ADD_FAILURE() << "no console: " << GetLastError();
    return run;
  }
  const HANDLE screen =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ProcessOptions options;
  options.workingDirectory = makeScratchDirectory(L"progress-console");
  options.consoleStreams = true;
  const PROCESS_INFORMATION started = startProgram(launcher(name), options);
  while (WaitForSingleObject(started.hProcess, 10) == WAIT_TIMEOUT) {
    const std::wstring row = consoleRow(screen, 0);
    if (row.rfind(line, 0) == 0 && row.find(L" MB)") != std::wstring::npos) {
      run.lineSeen = true;
      run.lineShown = row;
    }
  }
  run.exitCode = finishProgram(started);
  run.afterwards = consoleRow(screen, 0);
  CloseHandle(screen);
  FreeConsole();
  return run;
}

const wchar_t kConsoleLine[] = L"Setting up ProgressConsole: ";

TEST(ProgressLine, OnAConsoleTheLineAppearsAndIsErasedBeforeTheProgramWrites) {
  const ConsoleRun run = runOnConsole("progress_console_launcher", kConsoleLine);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.lineSeen);
  EXPECT_EQ(run.afterwards, L"progress child ran");
}

TEST(ProgressLine, NothingOnARedirectedStreamOrWithNone) {
  ProcessOptions options;
  options.workingDirectory = makeScratchDirectory(L"progress-redirected");
  const ProcessResult redirected = runProgram(launcher("progress_console_launcher"), options);
  EXPECT_EQ(redirected.exitCode, 0u);
  EXPECT_EQ(redirected.standardError, "");
  EXPECT_EQ(redirected.standardOutput, "progress child ran\r\n");

  const ConsoleRun none = runOnConsole("progress_console_none_launcher", kConsoleLine);
  EXPECT_EQ(none.exitCode, 0u);
  EXPECT_FALSE(none.lineSeen);
  EXPECT_EQ(none.afterwards, L"progress child ran");
}

}  // namespace
