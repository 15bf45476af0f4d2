#include <windows.h>

#include "progress/console_line.h"
#include "progress/progress_line.h"

namespace {

SRWLOCK lineLock = SRWLOCK_INIT;
bool lineClosed = false;  // taken off: draw nothing more
bool lineDrawn = false;
DWORD widestLine = 0;  // units written on the line, at most

HANDLE standardError() { return GetStdHandle(STD_ERROR_HANDLE); }

void writeUnits(const Utf16Unit* units, DWORD count) {
  DWORD written = 0;
  WriteConsoleW(/*hConsoleOutput=*/standardError(), /*lpBuffer=*/units,
                /*nNumberOfCharsToWrite=*/count, /*lpNumberOfCharsWritten=*/&written,
                /*lpReserved=*/nullptr);
}

// A carriage return, then the `length` units of `line` padded with spaces
// over `widestLine` units; when erasing, spaces only and another carriage
// return, so the next text starts where the line did.
void overwriteLine(const Utf16Unit* line, DWORD length, bool erase) {
  Utf16Unit buffer[kProgressLineCapacity + 2];
  DWORD at = 0;
  buffer[at++] = u'\r';
  for (DWORD i = 0; i < length; ++i) buffer[at++] = line[i];
  while (at < widestLine + 1) buffer[at++] = u' ';
  if (erase) buffer[at++] = u'\r';
  writeUnits(buffer, at);
}

}  // namespace

bool standardErrorIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(standardError(), &mode) != 0;
}

void drawConsoleLine(const Utf16Unit* text, uint64_t bytesDone, uint64_t bytesTotal) {
  AcquireSRWLockExclusive(&lineLock);
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (!lineClosed && GetConsoleScreenBufferInfo(standardError(), &screen)) {
    if (!lineDrawn && screen.dwCursorPosition.X != 0) {
      lineClosed = true;  // someone else's text is on this line: leave it be
    } else {
      Utf16Unit line[kProgressLineCapacity];
      const DWORD length = static_cast<DWORD>(formatProgressLine(
          line, static_cast<size_t>(screen.dwSize.X), text, bytesDone, bytesTotal));
      if (length > 0) {
        overwriteLine(line, length, false);
        lineDrawn = true;
        if (length > widestLine) widestLine = length;
      }
    }
  }
  ReleaseSRWLockExclusive(&lineLock);
}

void takeOffConsoleLine() {
  AcquireSRWLockExclusive(&lineLock);
  if (lineDrawn) {
    const Utf16Unit none[1] = {0};
    overwriteLine(none, 0, true);
  }
  lineDrawn = false;
  lineClosed = true;
  ReleaseSRWLockExclusive(&lineLock);
}
