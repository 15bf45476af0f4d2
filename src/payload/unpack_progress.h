// How far unpacking has come, counted in this one place: the threads that
// write files add to it as they go, and a progress display on a thread of
// its own reads it at any time, without locks and without ever making a
// writer wait. Every field is atomic and read on its own; a reader may see
// bytes of a file before its entry is counted, never more than the totals.
#pragma once
#include <atomic>
#include <cstdint>

struct UnpackProgress {
  // Set once, before the first byte is counted, when a pass begins to write:
  // the bytes and entries it will write or find whole. Zero while nothing is
  // known to be written, as on a start whose every file is in place.
  std::atomic<uint64_t> bytesTotal{0};
  std::atomic<uint64_t> entriesTotal{0};
  // Content bytes and entries done so far: written, or found whole.
  std::atomic<uint64_t> bytesDone{0};
  std::atomic<uint64_t> entriesDone{0};
  // Set when the last file is in place (or unpacking ended without writing).
  std::atomic<bool> finished{false};
};

extern UnpackProgress unpackProgress;

// Called by beginUnpackProgress on the writer's thread once the totals are
// set, when not null: a display starts watching only when there is
// something to show, so a start that writes nothing costs it no thread.
extern std::atomic<void (*)()> unpackProgressBegins;

// For the writers: totals first, then what is done.
void beginUnpackProgress(uint64_t bytes, uint64_t entries);
inline void countUnpackedBytes(uint64_t bytes) {
  unpackProgress.bytesDone.fetch_add(bytes, std::memory_order_relaxed);
}
inline void countUnpackedEntry() {
  unpackProgress.entriesDone.fetch_add(1, std::memory_order_relaxed);
}
void finishUnpackProgress();
