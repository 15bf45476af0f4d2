// The constants that make one application's launcher differ from another's.
// The launcher library only declares them; every launcher executable defines
// them in a small generated source (see constants.cpp.in and
// attached_data.S.in beside this file), so new launchers need no rebuild of
// the library.
#pragma once
#include <cstdint>

#include "diag/text.h"

extern "C" {
extern const Unit tavmorBuiltInSpec[];
extern const Unit tavmorCompanyName[];
extern const Unit tavmorProductName[];
extern const Unit tavmorVersion[];
extern const Unit tavmorFileVersion[];
extern const Unit tavmorProductVersion[];
// First byte of the attached data, in the image's read-only data.
extern const unsigned char tavmorAttachedData[];
// Bytes after the three header bytes that the decoder is handed: the frame and
// the trailer.
extern const uint64_t tavmorAttachedInputLength;
}
