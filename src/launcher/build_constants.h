// The constants that make one application's launcher differ from another's:
// the spec, the five texts behind its build-time placeholders, where the
// attached data lies, and how a first start shows its progress. They are stamped into the launcher
// stub by tavmor-pack (launcher/stamped_configuration.h), so no launcher is ever compiled.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"
#include "launcher/stamped_configuration.h"
#include "target/spec.h"

struct BuildConstants {
  const Utf16Unit* builtInSpec;
  BuildTimeValues values;
  // First byte of the attached data, in the image's read-only data.
  const unsigned char* attachedData;
  // Bytes after the three header bytes that the decoder is handed: the frame
  // and the trailer.
  uint64_t attachedInputLength;
  // The entry table as stamped, inside one of the image's sections, or null
  // with length 0 when the launcher has none. Not yet checked: the launcher
  // trusts it only after entryTableProblem finds nothing wrong.
  const unsigned char* entryTable;
  uint32_t entryTableLength;
  CacheCheck cacheCheck;
  // Whether a long first start shows its progress, and with what line.
  bool progressDisplay;
  const Utf16Unit* progressText;
  // The subsystem the tool gave the image: graphical, or console.
  bool graphical;
};

// Reads this launcher's stamped configuration. A stub that was never stamped,
// or a configuration that places the attached data outside the image's own
// sections, ends the process with "Error, couldn't find attached data
// header."
BuildConstants loadBuildConstants();
