// Progress for a start that unpacks long enough for someone to wonder: the
// launcher starts the display before unpacking and stops it after, before
// the child starts. What shows, if anything, is decided on a thread of the
// display's own, started when a pass begins to write (so a start that
// writes nothing has none), that only reads the unpacking counters
// (payload/unpack_progress.h): the unpacking never waits for it, and any
// failure of the display (no thread, no DLL, no window) just shows nothing.
#pragma once

#include "base/utf16_text.h"

struct ProgressDisplaySettings {
  bool enabled;            // false: the packager chose --progress none
  bool graphical;          // the launcher's subsystem: a window, else a console line
  const Utf16Unit* title;  // the product's name, the window's title
  const Utf16Unit* text;   // the line in the window and before the figures
};

// A graphical launcher gets a window and a console launcher a line on
// standard error when it is a console; nothing at all when standard error
// is redirected. Either appears only once unpacking has run
// kProgressDelayMs and is not about to end (progress/progress_timing.h), so
// a warm start shows nothing. The texts must outlive the display.
void startProgressDisplay(const ProgressDisplaySettings& settings);

// Takes the display away (the window closed, the line erased) and returns
// once it is gone, or after a bounded wait if the display thread is held
// up: never later. Waits for nothing when nothing is showing; nothing shows
// after it returns.
void stopProgressDisplay();
