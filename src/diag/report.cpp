#include "diag/report.h"

#include <cstdio>
#include <cstdlib>

void fatalError(const char* message) {
  std::puts(message);
  std::exit(2);
}

void abortSilently() {
  // The status the runtime's abort() gives, without its abort(): msvcrt
  // shows a message box there for a GUI program, which would hold up a
  // script waiting for the launcher until someone clicks it.
  std::fflush(stderr);
  std::_Exit(3);
}

size_t stripTrailingLineEnds(char* text, size_t length) {
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) {
    text[length - 1] = 0;
    --length;
  }
  return length;
}
