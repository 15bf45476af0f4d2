// The console form of a first start's progress: one line of text, made to
// fit the console's width so that a carriage return can always take it off
// again (a line that wraps cannot be erased that way).
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

// Room for the longest line written, terminator included.
constexpr size_t kProgressLineCapacity = 512;

// Writes "<text>: <percent>% (<done> of <total> MB)" into `out`, at most
// `width` - 1 units long (and never past kProgressLineCapacity - 1), and
// returns its length. Megabytes are 10^6 bytes with one decimal, both cut
// rather than rounded, as is the percentage, so a line never claims more than
// is done. Control characters in `text` show as spaces; a text too long is
// cut, not between the two halves of a surrogate pair, and ends in "...";
// when even the figures do not fit, or `text` is empty, the line is the
// figures alone, or nothing (0) when they do not fit either.
size_t formatProgressLine(Utf16Unit* out, size_t width, const Utf16Unit* text, uint64_t bytesDone,
                          uint64_t bytesTotal);
