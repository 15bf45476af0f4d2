// The progress line on the console behind standard error. Safe to call from
// any thread: the display thread draws, and whichever thread ends the run
// (the unpacking, a fatal message, a console event) takes the line off. Once
// taken off, nothing more is drawn, so no line is left behind a message or
// the child's first output.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"

// True when standard error is a console: a person may be watching. False
// when it is redirected to a file or pipe, which then never sees a byte.
bool standardErrorIsConsole();

// Draws (or redraws) the line for these counts, padded over any longer line
// drawn before. Draws nothing when the line was taken off, when the cursor
// is not at the start of a line (something else is being written there) or
// when the console is too narrow for the figures.
void drawConsoleLine(const Utf16Unit* text, uint64_t bytesDone, uint64_t bytesTotal);

// Erases the line if one is drawn (carriage return, spaces, carriage
// return) and stops any further drawing. Idempotent.
void takeOffConsoleLine();
