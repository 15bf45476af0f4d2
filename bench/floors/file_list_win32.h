// The benchmark's list of application files ("size<TAB>name" per line, names
// with backslashes, relative to the application folder), and what the floor
// programs share: a monotonic clock and a line on standard output.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ListedFile {
  uint64_t size;
  std::wstring name;
};

// Reads the list; ends the process with status 3 when it cannot.
std::vector<ListedFile> readFileList(const wchar_t* listPath);

// Milliseconds since an arbitrary start, from the performance counter.
double clockMilliseconds();

// "<label> <milliseconds>\n" on standard output: the time the floor spent on
// its work, without process start and exit.
void reportWorkTime(const char* label, double milliseconds);

// The program's arguments; ends the process with status 3 unless there are
// exactly `count` after the program name.
wchar_t** programArguments(int count);
