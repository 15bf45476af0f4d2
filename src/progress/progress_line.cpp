#include "progress/progress_line.h"

namespace {

// Appends the decimal digits of `value` at `out[at]`; gives the new length.
size_t putNumber(Utf16Unit* out, size_t at, uint64_t value) {
  Utf16Unit digits[20];
  size_t count = 0;
  do {
    digits[count++] = static_cast<Utf16Unit>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) out[at++] = digits[--count];
  return at;
}

size_t putText(Utf16Unit* out, size_t at, const char16_t* text) {
  while (*text != 0) out[at++] = *text++;
  return at;
}

size_t putMegabytes(Utf16Unit* out, size_t at, uint64_t bytes) {
  const uint64_t tenths = bytes / 100000;
  at = putNumber(out, at, tenths / 10);
  out[at++] = u'.';
  return putNumber(out, at, tenths % 10);
}

}  // namespace

size_t formatProgressLine(Utf16Unit* out, size_t width, const Utf16Unit* text, uint64_t bytesDone,
                          uint64_t bytesTotal) {
  if (bytesDone > bytesTotal) bytesDone = bytesTotal;
  // The figures first, in a buffer of their own: at most 3 + 2 + 2 * 21 + 9.
  Utf16Unit figures[64];
  const uint64_t percent = bytesTotal == 0
                               ? 0
                               : static_cast<uint64_t>(static_cast<double>(bytesDone) /
                                                       static_cast<double>(bytesTotal) * 100.0);
  size_t length = putNumber(figures, 0, percent);
  length = putText(figures, length, u"% (");
  length = putMegabytes(figures, length, bytesDone);
  length = putText(figures, length, u" of ");
  length = putMegabytes(figures, length, bytesTotal);
  length = putText(figures, length, u" MB)");

  size_t room = width == 0 ? 0 : width - 1;
  if (room > kProgressLineCapacity - 1) room = kProgressLineCapacity - 1;
  if (length > room) {
    out[0] = 0;
    return 0;
  }
  size_t at = 0;
  const size_t textRoom = room - length;  // for the text and its ": "
  const size_t textLength = unitLength(text);
  if (textLength > 0 && textRoom >= 2 + 4) {
    size_t kept = textLength;
    const bool cut = textLength + 2 > textRoom;
    if (cut) {
      kept = textRoom - 2 - 3;
      if (text[kept - 1] >= 0xD800 && text[kept - 1] <= 0xDBFF) --kept;
    }
    for (size_t i = 0; i < kept; ++i)
      out[at++] = text[i] < 0x20 || text[i] == 0x7F ? u' ' : text[i];
    if (cut) at = putText(out, at, u"...");
    at = putText(out, at, u": ");
  }
  for (size_t i = 0; i < length; ++i) out[at++] = figures[i];
  out[at] = 0;
  return at;
}
