// UTF-16 text in fixed buffers. Every copy and append here is bounded: text
// that would not fit together with its terminator ends the process through
// abortSilently(), so no caller ever works with a cut path.
#pragma once
#include <cstddef>

// One UTF-16 code unit. Win32 files cast to wchar_t, which is 16 bits there.
using Utf16Unit = char16_t;

// Capacity of every path buffer, terminator included.
constexpr size_t kPathCapacity = 4096;
using PathBuffer = Utf16Unit[kPathCapacity];

size_t unitLength(const Utf16Unit* text);

// Replaces the buffer's text with `text`; aborts if it does not fit.
void copyText(Utf16Unit* buffer, size_t capacity, const Utf16Unit* text);

// Appends behind the buffer's current text; aborts if the result does not fit.
void appendText(Utf16Unit* buffer, size_t capacity, const Utf16Unit* text);
void appendUnit(Utf16Unit* buffer, size_t capacity, Utf16Unit unit);

// Cuts the backslashes off the end of `text`; gives the length left.
size_t dropTrailingBackslashes(Utf16Unit* text);

// True when the `length` units at `text` end in ".exe", in any ASCII case:
// the one test of a program's name, for the {PROGRAM_BASE} placeholder and
// for tavmor-pack's choice of the program to start.
bool endsWithExe(const Utf16Unit* text, size_t length);
