#include "target/spec.h"

#include <cstdlib>

#include "diag/report.h"
#include "target/environment.h"
#include "target/placeholder_names.h"
#include "target/placeholders.h"
#include "target/time_and_random.h"

namespace {

// A name between braces holds at most this many units with its terminator.
constexpr size_t kNameCapacity = 1024;

const BuildTimeValues* buildTimeValues = nullptr;

// The build-time text behind {COMPANY} and its kin, or nullptr for any other
// placeholder and before the launcher handed its values in.
const Utf16Unit* buildTimeValue(Placeholder placeholder) {
  if (buildTimeValues == nullptr) return nullptr;
  switch (placeholder) {
    case Placeholder::kCompany:
      return buildTimeValues->company;
    case Placeholder::kProduct:
      return buildTimeValues->product;
    case Placeholder::kVersion:
      return buildTimeValues->version;
    case Placeholder::kFileVersion:
      return buildTimeValues->fileVersion;
    case Placeholder::kProductVersion:
      return buildTimeValues->productVersion;
    default:
      return nullptr;
  }
}

// The output buffer with its end tracked, so nothing is measured twice.
struct Output {
  Utf16Unit* text;
  uint64_t capacity;  // terminator included
  uint64_t length;
};

Utf16Unit foldAsciiCase(Utf16Unit unit) { return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit; }

// Names and the ".exe" suffix are ASCII, so folding A-Z alone decides.
bool equalIgnoringCase(const Utf16Unit* text, const char* ascii) {
  for (; *ascii != 0; ++text, ++ascii) {
    if (foldAsciiCase(*text) != foldAsciiCase(static_cast<Utf16Unit>(*ascii))) return false;
  }
  return *text == 0;
}

const PlaceholderName* lookUp(const Utf16Unit* name) {
  for (const PlaceholderName& entry : kPlaceholderNames) {
    if (equalIgnoringCase(name, entry.name)) return &entry;
  }
  return nullptr;
}

// Values of the system's own making must fit: a cut one would name another
// directory.
void appendOrAbort(Output& output, const Utf16Unit* value) {
  for (const Utf16Unit* p = value; *p != 0; ++p) {
    if (output.length + 1 >= output.capacity) abortSilently();
    output.text[output.length++] = *p;
    output.text[output.length] = 0;
  }
}

// Folders are joined with literal backslashes in the spec, so a value's own
// trailing ones would double them; a drive root thus becomes "C:".
void stripTrailingBackslashes(Output& output) {
  while (output.length > 0 && output.text[output.length - 1] == u'\\') {
    output.text[--output.length] = 0;
  }
}

// {PROGRAM} and its two shortened forms. False when the path cannot be had
// whole.
bool appendProgramPath(Output& output, Placeholder form) {
  Utf16Unit* const path = output.text + output.length;
  if (!writeProgramPath(path, output.capacity - output.length)) {
    *path = 0;
    return false;
  }
  uint64_t length = unitLength(path);
  if (form == Placeholder::kProgramBase && length >= 4 &&
      equalIgnoringCase(path + length - 4, ".exe")) {
    length -= 4;
  } else if (form == Placeholder::kProgramDir) {
    for (uint64_t i = length; i > 0; --i) {
      if (path[i - 1] == u'\\') {
        length = i - 1;
        break;
      }
    }
  }
  path[length] = 0;
  output.length += length;
  return true;
}

bool appendTemporaryDirectory(Output& output) {
  Utf16Unit* const path = output.text + output.length;
  if (!writeTemporaryDirectory(path, output.capacity - output.length)) {
    *path = 0;
    return false;
  }
  output.length += unitLength(path);
  return true;
}

bool appendUserFolder(Output& output, UserFolder folder) {
  Utf16Unit path[kUserFolderCapacity];
  if (!readUserFolder(folder, path)) return false;
  path[kUserFolderCapacity - 1] = 0;  // never read past the platform's buffer
  appendOrAbort(output, path);
  return true;
}

// The launcher's process id as its environment protocol published it, else
// this process's own. The inherited value becomes part of a path, so it must
// be what the protocol writes: ASCII digits and nothing else.
void appendProcessId(Output& output) {
  Utf16Unit* const inherited = copyEnvironmentValue("TAVMOR_ONEFILE_PARENT");
  if (inherited != nullptr) {
    for (const Utf16Unit* p = inherited; *p != 0; ++p) {
      if (*p < u'0' || *p > u'9') abortSilently();
    }
    appendOrAbort(output, inherited);
    std::free(inherited);
    return;
  }
  Utf16Unit digits[kProcessIdTextCapacity];
  formatProcessId(currentProcessId(), digits);
  appendOrAbort(output, digits);
}

// {TIME}, {TIME_US} and {RANDOM} keep the first value made in the process
// tree: it is stored in the environment, which every later expansion and the
// child see. A failed store is not fatal; a later expansion makes a new one.
void appendStableValue(Output& output, Placeholder placeholder) {
  const char* variable = placeholder == Placeholder::kTime     ? "TAVMOR_ONEFILE_START"
                         : placeholder == Placeholder::kTimeUs ? "TAVMOR_ONEFILE_TIME_US"
                                                               : "TAVMOR_ONEFILE_RANDOM";
  Utf16Unit* const stored = copyEnvironmentValue(variable);
  if (stored != nullptr) {
    appendOrAbort(output, stored);
    std::free(stored);
    return;
  }
  Utf16Unit fresh[kStableValueCapacity];
  if (placeholder == Placeholder::kTime) {
    formatStartTime(readSystemTime(), fresh);
  } else if (placeholder == Placeholder::kTimeUs) {
    formatMicroseconds(readSystemTime(), fresh);
  } else {
    makeRandomString(readRandomSeed(), fresh);
  }
  setEnvironmentValue(variable, fresh);
  appendOrAbort(output, fresh);
}

// Appends the value of a closed placeholder. False on an unknown name or a
// system value that cannot be had.
bool appendPlaceholder(Output& output, const Utf16Unit* name) {
  const PlaceholderName* const entry = lookUp(name);
  if (entry == nullptr) return false;
  const Placeholder placeholder = entry->placeholder;
  switch (placeholder) {
    case Placeholder::kTemp:
      if (!appendTemporaryDirectory(output)) return false;
      stripTrailingBackslashes(output);
      return true;
    case Placeholder::kHome:
    case Placeholder::kCacheDir:
      if (!appendUserFolder(output, placeholder == Placeholder::kHome
                                        ? UserFolder::kProfile
                                        : UserFolder::kLocalApplicationData)) {
        return false;
      }
      stripTrailingBackslashes(output);
      return true;
    case Placeholder::kProgram:
    case Placeholder::kProgramBase:
    case Placeholder::kProgramDir:
      return appendProgramPath(output, placeholder);
    case Placeholder::kPid:
      appendProcessId(output);
      return true;
    case Placeholder::kCompany:
    case Placeholder::kProduct:
    case Placeholder::kVersion:
    case Placeholder::kFileVersion:
    case Placeholder::kProductVersion: {
      const Utf16Unit* const value = buildTimeValue(placeholder);
      if (value == nullptr) return false;
      appendOrAbort(output, value);
      return true;
    }
    case Placeholder::kRandom:
    case Placeholder::kTimeUs:
    case Placeholder::kTime:
      appendStableValue(output, placeholder);
      return true;
  }
  return false;
}

}  // namespace

void setBuildTimeValues(const BuildTimeValues* values) { buildTimeValues = values; }

bool expandSpec(Utf16Unit* output, const Utf16Unit* spec, uint64_t capacity) {
  // Without room for the terminator not even a failure could be reported.
  if (capacity == 0) abortSilently();
  Output out = {output, capacity, 0};
  output[0] = 0;

  Utf16Unit name[kNameCapacity];
  size_t nameLength = 0;
  bool placeholderOpen = false;
  for (const Utf16Unit* p = spec; *p != 0; ++p) {
    if (*p == u'{') {
      // A second "{" drops the name begun so far and starts a new one.
      placeholderOpen = true;
      nameLength = 0;
    } else if (*p == u'}' && placeholderOpen) {
      name[nameLength] = 0;
      placeholderOpen = false;
      if (!appendPlaceholder(out, name)) return false;
    } else if (placeholderOpen) {
      // No placeholder name is this long; refusing it keeps the name buffer
      // whole.
      if (nameLength + 1 >= kNameCapacity) return false;
      name[nameLength++] = *p;
    } else {
      // Literal text, a "}" with no placeholder open included.
      if (out.length + 1 >= out.capacity) return false;
      output[out.length++] = *p;
      output[out.length] = 0;
    }
  }
  // A placeholder still open at the end is dropped with its name.
  return true;
}
