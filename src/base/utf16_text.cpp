#include "base/utf16_text.h"

#include "base/silent_abort.h"

size_t unitLength(const Utf16Unit* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

void copyText(Utf16Unit* buffer, size_t capacity, const Utf16Unit* text) {
  if (capacity == 0) abortSilently();
  buffer[0] = 0;
  appendText(buffer, capacity, text);
}

void appendText(Utf16Unit* buffer, size_t capacity, const Utf16Unit* text) {
  const size_t used = unitLength(buffer);
  const size_t added = unitLength(text);
  if (used + added + 1 > capacity) abortSilently();
  for (size_t i = 0; i < added; ++i) buffer[used + i] = text[i];
  buffer[used + added] = 0;
}

void appendUnit(Utf16Unit* buffer, size_t capacity, Utf16Unit unit) {
  const Utf16Unit text[2] = {unit, 0};
  appendText(buffer, capacity, text);
}

bool endsWithExe(const Utf16Unit* text, size_t length) {
  if (length < 4) return false;
  const char suffix[] = ".exe";
  for (size_t i = 0; i < 4; ++i) {
    Utf16Unit unit = text[length - 4 + i];
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<Utf16Unit>(unit + (u'a' - u'A'));
    if (unit != static_cast<Utf16Unit>(suffix[i])) return false;
  }
  return true;
}

size_t dropTrailingBackslashes(Utf16Unit* text) {
  size_t length = unitLength(text);
  while (length > 0 && text[length - 1] == u'\\') text[--length] = 0;
  return length;
}
