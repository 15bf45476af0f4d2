#include "payload/unpack_progress.h"

UnpackProgress unpackProgress;
std::atomic<void (*)()> unpackProgressBegins{nullptr};

void beginUnpackProgress(uint64_t bytes, uint64_t entries) {
  unpackProgress.bytesDone.store(0, std::memory_order_relaxed);
  unpackProgress.entriesDone.store(0, std::memory_order_relaxed);
  unpackProgress.entriesTotal.store(entries, std::memory_order_relaxed);
  // Last, with release: a reader that sees the byte total sees the rest.
  unpackProgress.bytesTotal.store(bytes, std::memory_order_release);
  if (void (*const begins)() = unpackProgressBegins.load()) begins();
}

void finishUnpackProgress() { unpackProgress.finished.store(true, std::memory_order_release); }
