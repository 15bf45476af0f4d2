// Starting the child program, waiting for it and handling console events.
#pragma once
#include <windows.h>

#include "base/utf16_text.h"

// Starts the program at `programPath` with the launcher's command line,
// standard handles and environment, waits for it without limit and returns
// its exit code (1 when it cannot be read). A failed start ends the process
// with "Error, couldn't launch child" and status 2.
int launchChild(const Utf16Unit* programPath);

// Registered for console events: gives a running child up to 5000 ms to end,
// then terminates it with exit code 0; always passes the event on (FALSE).
// Codes 3, 4 and above 6 are passed on at once.
BOOL WINAPI consoleControlHandler(DWORD eventCode);

// Whether a child has been started and its handle not yet closed. For tests,
// which must know the handler has a child to act on.
bool childIsRunning();
