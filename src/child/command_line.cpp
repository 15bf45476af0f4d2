#include "child/command_line.h"

#include "diag/report.h"

Utf16Unit childCommandLine[kChildCommandLineCapacity];
PathBuffer launcherModulePath;

namespace {

// The length of the text in childCommandLine, kept beside it so that each
// append costs only what it adds: quoting appends piece by piece, and a line
// near the limit would otherwise be scanned thousands of times.
size_t childCommandLineLength = 0;

constexpr Utf16Unit kBlank = 0x20;
constexpr Utf16Unit kQuote = 0x22;
constexpr Utf16Unit kBackslash = 0x5C;

bool forcesQuoting(Utf16Unit unit) {
  return unit == kBlank || unit == 0x09 || unit == 0x0A || unit == 0x0B || unit == kQuote;
}

bool needsQuotes(const Utf16Unit* argument) {
  // An empty argument must be quoted too, or it would vanish between two
  // blanks and the child would see one argument fewer.
  if (argument[0] == 0) return true;
  for (const Utf16Unit* p = argument; *p != 0; ++p) {
    if (forcesQuoting(*p)) return true;
  }
  return false;
}

void appendUnits(Utf16Unit unit, size_t count) {
  for (size_t i = 0; i < count; ++i) appendToChildCommandLine(&unit, 1);
}

}  // namespace

void clearChildCommandLine() {
  childCommandLine[0] = 0;
  childCommandLineLength = 0;
}

void appendToChildCommandLine(const Utf16Unit* units, size_t count) {
  if (count > kChildCommandLineCapacity - 1 - childCommandLineLength) abortSilently();
  for (size_t i = 0; i < count; ++i) childCommandLine[childCommandLineLength + i] = units[i];
  childCommandLineLength += count;
  childCommandLine[childCommandLineLength] = 0;
}

void appendQuotedArgument(const Utf16Unit* argument) {
  if (!needsQuotes(argument)) {
    appendToChildCommandLine(argument, unitLength(argument));
    return;
  }
  appendToChildCommandLine(&kQuote, 1);
  const Utf16Unit* p = argument;
  while (*p != 0) {
    size_t backslashes = 0;
    while (p[backslashes] == kBackslash) ++backslashes;
    const Utf16Unit next = p[backslashes];
    if (next == 0) {
      // Before the closing quote every backslash must be doubled, or the
      // last one would escape that quote.
      appendUnits(kBackslash, 2 * backslashes);
      p += backslashes;
    } else if (next == kQuote) {
      appendUnits(kBackslash, 2 * backslashes + 1);
      appendToChildCommandLine(&kQuote, 1);
      p += backslashes + 1;
    } else {
      // Backslashes not followed by a quote are read literally.
      appendToChildCommandLine(p, backslashes + 1);
      p += backslashes + 1;
    }
  }
  appendToChildCommandLine(&kQuote, 1);
}

void joinChildCommandLine(const Utf16Unit* const* arguments, int count) {
  clearChildCommandLine();
  appendQuotedArgument(launcherModulePath);
  for (int j = 1; j < count; ++j) {
    appendToChildCommandLine(&kBlank, 1);
    appendQuotedArgument(arguments[j]);
  }
}
