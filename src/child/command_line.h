// The child's command line: the launcher's own arguments, the first replaced
// by the launcher's module path, each quoted so that the platform's splitting
// (CommandLineToArgvW and the C runtime) reads back exactly that argument.
#pragma once
#include <cstddef>

#include "base/utf16_text.h"

// Capacity of the command line in units, terminator included: the platform's
// limit for a process's command line.
constexpr size_t kChildCommandLineCapacity = 32768;

// Writable because process creation may modify it. Holds at most 32767 units
// and a terminator.
extern Utf16Unit childCommandLine[kChildCommandLineCapacity];

// The launcher's full module path; filled once, on first use, by the platform
// side of the command-line build.
extern PathBuffer launcherModulePath;

// Empties childCommandLine.
void clearChildCommandLine();

// The one bounded append every write to childCommandLine goes through: adds
// `count` units behind the text and a new terminator, or aborts silently when
// the text would exceed 32767 units. Never leaves a cut line behind.
void appendToChildCommandLine(const Utf16Unit* units, size_t count);

// Appends one argument. It goes in double quotes when it is empty or holds a
// blank, tab, line feed, vertical tab or double quote; inside the quotes,
// backslashes are doubled only where they precede a quote or the closing
// quote, and each quote is escaped. Anything else passes unchanged.
void appendQuotedArgument(const Utf16Unit* argument);

// Replaces childCommandLine with launcherModulePath followed by
// arguments[1..count), each quoted and separated by single blanks. The
// first argument, whatever it is, is never used: the child sees the
// launcher's full path in its place.
void joinChildCommandLine(const Utf16Unit* const* arguments, int count);

// Splits the launcher's own command line and joins it as above, filling
// launcherModulePath first if it is still empty. Aborts silently when the
// command line cannot be split, the module path cannot be had, or the
// result does not fit.
void buildChildCommandLine();
