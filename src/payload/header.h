#pragma once

// Moves `*position` past the three header bytes whatever they hold, and ends
// the process with "Error, couldn't find attached data header." unless they
// are "RUQ".
void checkAttachedDataHeader(const unsigned char** position);
