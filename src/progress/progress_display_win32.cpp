#include <windows.h>

#include <atomic>

#include "diag/report.h"
#include "payload/unpack_progress.h"
#include "progress/console_line.h"
#include "progress/progress_display.h"
#include "progress/progress_timing.h"
#include "progress/progress_window.h"

namespace {

// How often the counters are sampled once the delay is over.
constexpr DWORD kSampleMs = 50;
// How long stopping waits for a display that is showing to go. It takes
// milliseconds; only a thread held inside the loader (loading user32 on a
// busy machine) could take longer, and the child must not wait for it.
constexpr DWORD kStopWaitMs = 1000;
// The display thread needs little: the window's calls and one line buffer.
constexpr SIZE_T kThreadStack = 256 * 1024;

// Idle until a pass begins to write; watching (the thread waits out the
// delay and samples); showing, once the thread has claimed the right to show
// and until it has taken its display away; stopped, by stopProgressDisplay,
// after which nothing is shown. Only the display thread moves from watching
// to showing, and only if nothing stopped it first, so stopping waits for
// the thread only when it is showing (or about to).
enum DisplayState : int { kIdle, kWatching, kShowing, kStopped };
std::atomic<int> displayState{kIdle};

// Written before unpacking starts, read by the display thread.
ProgressDisplaySettings display;
ULONGLONG startedMs = 0;
HANDLE stopEvent = nullptr;
// Written on the writer's thread inside unpacking, read after it.
HANDLE displayThread = nullptr;
uint64_t passBeganMs = 0;

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
  ProgressWatch watch;
  watch.lastUnsetSampleMs = passBeganMs;
  const ProgressSample first = sampleCounters();
  if (first.elapsedMs < kProgressDelayMs &&
      stopWithin(static_cast<DWORD>(kProgressDelayMs - first.elapsedMs))) {
    return 0;
  }
  while (!progressDue(watch, sampleCounters())) {
    if (unpackProgress.finished.load(std::memory_order_acquire) || stopWithin(kSampleMs)) return 0;
  }
  int watching = kWatching;
  if (!displayState.compare_exchange_strong(watching, kShowing)) return 0;
  if (display.graphical) {
    showProgressWindow(stopEvent, display.title, display.text);
  } else {
    followOnConsole();
  }
  return 0;
}

// On the writer's thread, when a pass begins to write: the display thread
// starts only now, so starts that write nothing never pay for one.
void beginWatching() {
  int idle = kIdle;
  if (!displayState.compare_exchange_strong(idle, kWatching)) return;
  passBeganMs = GetTickCount64() - startedMs;
  displayThread = CreateThread(/*lpThreadAttributes=*/nullptr, /*dwStackSize=*/kThreadStack,
                               /*lpStartAddress=*/runDisplay, /*lpParameter=*/nullptr,
                               /*dwCreationFlags=*/STACK_SIZE_PARAM_IS_A_RESERVATION,
                               /*lpThreadId=*/nullptr);
  if (displayThread == nullptr) displayState.store(kStopped);
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
  unpackProgressBegins.store(beginWatching);
}

void stopProgressDisplay() {
  if (stopEvent == nullptr) return;
  unpackProgressBegins.store(nullptr);
  const int before = displayState.exchange(kStopped);
  SetEvent(stopEvent);
  if (before == kShowing) WaitForSingleObject(displayThread, kStopWaitMs);
  if (!display.graphical) {
    // Whatever the thread is doing, the line is off before the child runs.
    takeOffConsoleLine();
    SetConsoleCtrlHandler(eraseOnConsoleEvent, FALSE);
    setBeforeFatalMessage(nullptr);
  }
  // The handles stay open: a thread that did not end in time still uses them.
}
