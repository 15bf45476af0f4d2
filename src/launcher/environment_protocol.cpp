#include "launcher/environment_protocol.h"

void cutAtLastBackslash(Unit* path) {
  Unit* last = nullptr;
  for (Unit* p = path; *p != 0; ++p) {
    if (*p == u'\\') last = p;
  }
  if (last != nullptr) *last = 0;
}
