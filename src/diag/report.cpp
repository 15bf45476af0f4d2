#include "diag/report.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<void (*)()> beforeFatalMessage{nullptr};

}  // namespace

void setBeforeFatalMessage(void (*before)()) { beforeFatalMessage.store(before); }

void runBeforeFatalMessage() {
  void (*const before)() = beforeFatalMessage.load();
  if (before != nullptr) before();
}

void fatalError(const char* message) {
  runBeforeFatalMessage();
  std::puts(message);
  std::exit(2);
}

size_t stripTrailingLineEnds(char* text, size_t length) {
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) {
    text[length - 1] = 0;
    --length;
  }
  return length;
}
