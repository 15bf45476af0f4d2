// When a first start's progress is worth showing. Pure decisions over
// samples of the unpacking counters, so the display thread and the tests
// apply the same rules.
#pragma once
#include <cstdint>

// Nothing is shown before unpacking has run this long. With the time the
// system takes to start the launcher before its first line (the loader and,
// on Windows, a scanner reading the image) and the time a window takes to
// appear, progress then shows about 0.7 to 0.9 s after the double-click:
// just within the second after which people lose the flow of the task and
// want a sign that something is happening, and late enough that the first
// starts of small applications, and every warm start, stay silent.
constexpr uint64_t kProgressDelayMs = 500;

// A display that would be gone again within this long is not shown: a
// window that flashes up and vanishes reads as a fault, not as progress.
constexpr uint64_t kShortestDisplayMs = 250;

// The counters as the display thread saw them at `elapsedMs` after unpacking
// began.
struct ProgressSample {
  uint64_t elapsedMs = 0;
  uint64_t bytesDone = 0;
  uint64_t bytesTotal = 0;  // zero while no pass is known to write
  bool finished = false;
};

// What the decision remembers between samples: when the writing pass began,
// as far as the samples tell.
struct ProgressWatch {
  bool passSeen = false;
  uint64_t passStartMs = 0;  // the last sample before the totals were set
  uint64_t lastUnsetSampleMs = 0;
};

// Whether progress should appear now: unpacking has outlasted the delay, a
// pass is writing and is not finished, and the rate so far does not say it
// ends within kShortestDisplayMs. The rate is taken from the last sample
// that saw no totals (the pass began after it), so it errs towards showing;
// with no byte written yet it shows. Call with samples in time order.
bool progressDue(ProgressWatch& watch, const ProgressSample& now);

// The position of a bar of kBarRange steps: bytes done out of the total,
// never past the end, and zero while the total is unknown.
constexpr uint32_t kBarRange = 1000;
uint32_t barPosition(uint64_t bytesDone, uint64_t bytesTotal);
