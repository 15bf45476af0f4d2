#include "launcher/environment_protocol.h"

void cutAtLastBackslash(Utf16Unit* path) {
  Utf16Unit* last = nullptr;
  for (Utf16Unit* p = path; *p != 0; ++p) {
    if (*p == u'\\') last = p;
  }
  if (last != nullptr) *last = 0;
}
