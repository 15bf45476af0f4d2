#include "payload/header.h"

#include "diag/report.h"
#include "payload/format.h"

void checkAttachedDataHeader(const unsigned char** position) {
  const unsigned char* const header = *position;
  *position += kAttachedHeaderSize;
  if (!hasAttachedDataHeader(header)) fatalError("Error, couldn't find attached data header.");
}
