#include <cstdlib>

#include "child/command_line.h"
#include "child/launch.h"
#include "diag/report.h"

namespace {

// The child's process handle while it runs; null before the start and after
// the main flow has closed it.
//
// The main flow and the console handler (on a thread of the platform's) both
// use this handle, so they share it under one lock rather than through an
// atomic exchange. An exchange would let one side take the handle away, but
// the handler does not merely take it: it waits on it for up to 5000 ms and
// may terminate the child, and the main flow must neither close the handle
// during that time nor lose it, since it still reads the exit code. Holding
// the lock for the handler's whole use, and closing and clearing under the
// same lock, gives both guarantees: the main flow alone closes the handle,
// exactly once, and the handler never sees it after that. The main flow only
// takes the lock after its own wait, when the child has ended, so the
// handler's wait is then already over and the main flow is held up by no
// more than the handler's return. An SRW lock needs no set-up and no heap.
HANDLE childProcessHandle = nullptr;
SRWLOCK childProcessLock = SRWLOCK_INIT;

constexpr DWORD kStartupRecordSize = 104;
constexpr DWORD kConsoleEventGraceMs = 5000;

}  // namespace

int launchChild(const Utf16Unit* programPath) {
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.cb = kStartupRecordSize;

  buildChildCommandLine();

  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  const BOOL started =
      CreateProcessW(/*lpApplicationName=*/reinterpret_cast<const wchar_t*>(programPath),
                     /*lpCommandLine=*/reinterpret_cast<wchar_t*>(childCommandLine),
                     /*lpProcessAttributes=*/nullptr, /*lpThreadAttributes=*/nullptr,
                     /*bInheritHandles=*/TRUE, /*dwCreationFlags=*/NORMAL_PRIORITY_CLASS,
                     /*lpEnvironment=*/nullptr, /*lpCurrentDirectory=*/nullptr,
                     /*lpStartupInfo=*/&startup, /*lpProcessInformation=*/&process);
  if (!started) {
    const DWORD error = GetLastError();
    printOsError("Error, couldn't launch child", error);
    std::exit(2);
  }
  CloseHandle(process.hThread);

  DWORD exitCode = 0;
  AcquireSRWLockExclusive(&childProcessLock);
  childProcessHandle = process.hProcess;
  ReleaseSRWLockExclusive(&childProcessLock);

  // The result is not examined: a failed wait is followed by the exit-code
  // read as usual.
  WaitForSingleObject(process.hProcess, INFINITE);
  // After a termination by the console handler this reads the 0 it gave.
  if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = 1;

  AcquireSRWLockExclusive(&childProcessLock);
  CloseHandle(process.hProcess);
  childProcessHandle = nullptr;
  ReleaseSRWLockExclusive(&childProcessLock);

  // All 32 bits reach exit() through the entry's return value.
  return static_cast<int>(exitCode);
}

BOOL WINAPI consoleControlHandler(DWORD eventCode) {
  switch (eventCode) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  AcquireSRWLockExclusive(&childProcessLock);
  if (childProcessHandle != nullptr &&
      WaitForSingleObject(childProcessHandle, kConsoleEventGraceMs) != WAIT_OBJECT_0) {
    TerminateProcess(childProcessHandle, /*uExitCode=*/0);
  }
  ReleaseSRWLockExclusive(&childProcessLock);
  // The next handler, by default the platform's, decides the launcher's end.
  return FALSE;
}

bool childIsRunning() {
  AcquireSRWLockShared(&childProcessLock);
  const bool running = childProcessHandle != nullptr;
  ReleaseSRWLockShared(&childProcessLock);
  return running;
}
