// Spec expansion: a UTF-16 directory template whose {PLACEHOLDER}s stand for
// values known only at run time.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"

// The launcher's target directory, filled in stage 4 of the main flow.
extern PathBuffer targetDirectory;

// The launcher's build-time texts behind {COMPANY}, {PRODUCT}, {VERSION},
// {FILE_VERSION} and {PRODUCT_VERSION}. The launcher hands them in before its
// first expansion; until then those placeholders do not expand.
struct BuildTimeValues {
  const Utf16Unit* company;
  const Utf16Unit* product;
  const Utf16Unit* version;
  const Utf16Unit* fileVersion;
  const Utf16Unit* productVersion;
};
void setBuildTimeValues(const BuildTimeValues* values);

// Expands `spec` into `output`, which holds `capacity` units with the
// terminator. True when the whole spec was expanded; false on an unknown or
// empty placeholder name, a literal that does not fit, or a system value that
// cannot be had. The output is NUL-terminated in every case. Overlong fixed
// values abort the process.
bool expandSpec(Utf16Unit* output, const Utf16Unit* spec, uint64_t capacity);

// Replaces targetDirectory by its fully qualified form; aborts when the
// platform cannot qualify it or the result does not fit.
void qualifyTargetDirectory();
