#include "diag/report.h"

#include <cstdio>
#include <cstdlib>

void fatalError(const char* message) {
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
