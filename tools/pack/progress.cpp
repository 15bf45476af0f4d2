#include "progress.h"

#include <cstdio>

Progress::Progress(uint64_t total, bool shown) : total_(total), shown_(shown) {}

Progress::~Progress() {
  if (drawn_) std::fputs("\r\033[K", stderr);
}

void Progress::advance(uint64_t bytes) {
  done_ += bytes;
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  draw("");
}

void Progress::finishing() {
  if (shown_) draw(", finishing");
}

void Progress::draw(const char* state) {
  const double percent = total_ == 0 ? 100.0 : 100.0 * static_cast<double>(done_) / total_;
  std::fprintf(stderr, "\rcompressing: %5.1f%%  %llu of %llu bytes%s\033[K", percent,
               static_cast<unsigned long long>(done_), static_cast<unsigned long long>(total_),
               state);
  std::fflush(stderr);
  drawn_ = true;
}
