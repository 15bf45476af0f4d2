// Progress of the compression on standard error, when that is a terminal:
// one line, redrawn at most ten times a second and cleared at the end.
#pragma once
#include <chrono>
#include <cstdint>

class Progress {
 public:
  Progress(uint64_t total, bool shown);
  ~Progress();
  void advance(uint64_t bytes);
  // Everything is read; the compressor may still be working on the last of it.
  void finishing();

 private:
  void draw(const char* state);

  uint64_t total_;
  uint64_t done_ = 0;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};
