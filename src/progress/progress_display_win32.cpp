#include <windows.h>

#include "diag/report.h"
#include "payload/unpack_progress.h"
#include "progress/console_line.h"
#include "progress/progress_display.h"
#include "progress/progress_timing.h"
#include "progress/progress_window.h"

namespace {

// How often the counters are sampled once the delay is over.
constexpr DWORD kSampleMs = 50;
// How long stopping waits for the display thread to close its window. It
// takes milliseconds; only a thread held inside the loader (loading user32
// on a busy machine) could take longer, and the child must not wait for it.
constexpr DWORD kStopWaitMs = 1000;
// The display thread needs little: the window's calls and one line buffer.
constexpr SIZE_T kThreadStack = 256 * 1024;

// Written before the thread starts, read by it; stopEvent is set once.
ProgressDisplaySettings display;
ULONGLONG startedMs = 0;
HANDLE stopEvent = nullptr;
HANDLE displayThread = nullptr;

ProgressSample sampleCounters() {
  ProgressSample sample;
  // The byte total first, with acquire: the rest of what was set with it
  // is then visible.
  sample.bytesTotal = unpackProgress.bytesTotal.load(std::memory_order_acquire);
  sample.bytesDone = unpackProgress.bytesDone.load(std::memory_order_relaxed);
  sample.finished = unpackProgress.finished.load(std::memory_order_acquire);
  sample.elapsedMs = GetTickCount64() - startedMs;
  return sample;
}

// Waits up to `ms`; true when told to stop.
bool stopWithin(DWORD ms) { return WaitForSingleObject(stopEvent, ms) != WAIT_TIMEOUT; }

void followOnConsole() {
  do {
    if (unpackProgress.finished.load(std::memory_order_acquire)) break;
    drawConsoleLine(display.text, unpackProgress.bytesDone.load(std::memory_order_relaxed),
                    unpackProgress.bytesTotal.load(std::memory_order_acquire));
  } while (!stopWithin(kSampleMs));
  takeOffConsoleLine();
}

DWORD WINAPI runDisplay(void*) {
  if (stopWithin(static_cast<DWORD>(kProgressDelayMs))) return 0;
  ProgressWatch watch;
  while (!progressDue(watch, sampleCounters())) {
    if (unpackProgress.finished.load(std::memory_order_acquire) || stopWithin(kSampleMs)) return 0;
  }
  if (display.graphical) {
    showProgressWindow(stopEvent, display.title, display.text);
  } else {
    followOnConsole();
  }
  return 0;
}

// A fatal message, on whichever thread, first takes the line off, so that
// it stands on a line of its own and no line is drawn after it.
void beforeFatalMessage() { takeOffConsoleLine(); }

// Ctrl+C or a closed console end the launcher by the platform's handler;
// the line goes first. Registered after the launcher's own, so it runs first.
BOOL WINAPI eraseOnConsoleEvent(DWORD) {
  takeOffConsoleLine();
  return FALSE;
}

}  // namespace

void startProgressDisplay(const ProgressDisplaySettings& settings) {
  if (!settings.enabled) return;
  if (!settings.graphical && !standardErrorIsConsole()) return;
  display = settings;
  startedMs = GetTickCount64();
  stopEvent = CreateEventW(/*lpEventAttributes=*/nullptr, /*bManualReset=*/TRUE,
                           /*bInitialState=*/FALSE, /*lpName=*/nullptr);
  if (stopEvent == nullptr) return;
  if (!settings.graphical) {
    setBeforeFatalMessage(beforeFatalMessage);
    SetConsoleCtrlHandler(eraseOnConsoleEvent, TRUE);
  }
  displayThread = CreateThread(/*lpThreadAttributes=*/nullptr, /*dwStackSize=*/kThreadStack,
                               /*lpStartAddress=*/runDisplay, /*lpParameter=*/nullptr,
                               /*dwCreationFlags=*/STACK_SIZE_PARAM_IS_A_RESERVATION,
                               /*lpThreadId=*/nullptr);
}

void stopProgressDisplay() {
  if (stopEvent == nullptr) return;
  SetEvent(stopEvent);
  if (displayThread != nullptr) WaitForSingleObject(displayThread, kStopWaitMs);
  if (!display.graphical) {
    // Whatever the thread is doing, the line is off before the child runs.
    takeOffConsoleLine();
    SetConsoleCtrlHandler(eraseOnConsoleEvent, FALSE);
    setBeforeFatalMessage(nullptr);
  }
  // The handles stay open: a thread that did not end in time still uses them.
}
