// The launcher's four ways to end on failure. Each message is fixed text
// beginning "Error, "; nothing is retried or cleaned up after a report.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

// Makes every fatal path below call `before` (from the thread that fails)
// before it writes its message, so that a progress line on the console is
// taken off first; null for none.
void setBeforeFatalMessage(void (*before)());
// What the fatal paths call first.
void runBeforeFatalMessage();

// Writes `message` and a newline to standard output, then exit(2).
[[noreturn]] void fatalError(const char* message);

// Writes "<message> ([Error <code>] <system text>)" to standard error, the
// code as a signed 32-bit number and the system text without trailing line
// ends (empty when the system has none). Returns; the caller then exits 2.
void printOsError(const char* message, uint32_t code);

// Writes "Error, couldn't runtime expand spec '<spec>'." to standard error and
// ends as abortSilently() does. `spec` is the template as given to the
// expansion.
[[noreturn]] void fatalSpecError(const Utf16Unit* spec);

// Writes "Error, failed to open '<path>' for writing." to standard error and
// exits with status 2.
[[noreturn]] void fatalOpenForWritingError(const Utf16Unit* path);

// Makes an abort() that is not ours (the runtime's or a library's) write its
// line to standard error instead of showing a message box. Called first.
void keepRuntimeAbortsOffScreen();

// Overwrites CR and LF characters at the end of text[0..length) with NUL and
// returns the length that remains.
size_t stripTrailingLineEnds(char* text, size_t length);
