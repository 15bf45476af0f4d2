#include "base/silent_abort.h"

#include <cstdio>
#include <cstdlib>

void abortSilently() {
  // The status the runtime's abort() gives, without its abort(): msvcrt
  // shows a message box there for a GUI program, which would hold up a
  // script waiting for the launcher until someone clicks it.
  std::fflush(stderr);
  std::_Exit(3);
}
