// The graphical form of a first start's progress: a small window with the
// product's name as its title, one line of text and a bar of bytes done,
// centred on the screen, with a taskbar button. It runs on the display
// thread that calls showProgressWindow, which loads user32, gdi32 and
// comctl32 from the system folder only when it is called, so that a start
// that shows nothing never loads them. It never takes the focus, so the
// application started after it gets the foreground as it would without it.
#pragma once

#include "base/utf16_text.h"

// Shows the window and keeps its bar in step with the unpacking counters
// until `stop` (an event handle) is set or the last file is in place, then
// destroys it and returns. Closing the window only takes it away; unpacking
// goes on. Returns at once, having shown nothing, when a DLL, a function or
// the window cannot be had: progress never makes a start fail.
void showProgressWindow(void* stop, const Utf16Unit* title, const Utf16Unit* text);
