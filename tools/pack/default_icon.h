// The icon group a launcher carries when the user gives none: a parcel on a
// blue tile, drawn here so that no opaque image file lives in the sources.
#pragma once
#include <string>

// An .ico file with seven images: 16, 20, 24, 32, 40 and 48 pixels as 32-bit
// bitmaps and 256 pixels as PNG. The same bytes on every call.
std::string defaultIconFile();
