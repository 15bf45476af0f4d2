#include "progress/progress_timing.h"

bool progressDue(ProgressWatch& watch, const ProgressSample& now) {
  if (now.finished) return false;
  if (now.bytesTotal == 0) {
    watch.lastUnsetSampleMs = now.elapsedMs;
    return false;
  }
  if (!watch.passSeen) {
    watch.passSeen = true;
    watch.passStartMs = watch.lastUnsetSampleMs;
  }
  if (now.elapsedMs < kProgressDelayMs) return false;
  if (now.bytesDone == 0) return true;
  if (now.bytesDone >= now.bytesTotal) return false;
  // remaining = left / rate, with rate = done / spent; in doubles, as the
  // product of bytes and milliseconds can pass 64 bits.
  const double spent = static_cast<double>(now.elapsedMs - watch.passStartMs);
  const double left = static_cast<double>(now.bytesTotal - now.bytesDone);
  return left * spent / static_cast<double>(now.bytesDone) >=
         static_cast<double>(kShortestDisplayMs);
}

uint32_t barPosition(uint64_t bytesDone, uint64_t bytesTotal) {
  if (bytesTotal == 0) return 0;
  if (bytesDone >= bytesTotal) return kBarRange;
  return static_cast<uint32_t>(static_cast<double>(bytesDone) / static_cast<double>(bytesTotal) *
                               kBarRange);
}
