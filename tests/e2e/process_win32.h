// Runs a Windows program the way a user's shell would, but with its standard
// streams on pipes, a chosen environment and working directory, and gives back
// what a user would see: both streams and the full 32-bit exit code.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
  std::string standardOutput;
  std::string standardError;
  DWORD exitCode = 0;
  DWORD processId = 0;
};

struct ProcessOptions {
  // Variables to set (value given) or remove (value empty) on top of this
  // process's environment.
  std::vector<std::pair<std::wstring, std::wstring>> environment;
  std::vector<std::wstring> removedVariables;
  std::wstring workingDirectory;  // empty: this process's
  // The whole command line; when empty it is the quoted program path followed
  // by `arguments` as given (already quoted by the caller).
  std::wstring commandLine;
  std::wstring arguments;
  // Standard input: the NUL device unless a file is named here or a pipe is
  // asked for (its writing end is closed at once, so the program reads EOF).
  std::wstring inputFile;
  bool inputFromPipe = false;
  // Standard output into this file (created anew) instead of a pipe; the
  // result's standardOutput stays empty.
  std::wstring outputFile;
  // startProgram only: all three streams on this process's console
  // (CONIN$ and CONOUT$), as a program started from a console window has.
  bool consoleStreams = false;
};

ProcessResult runProgram(const std::wstring& program, const ProcessOptions& options = {});

// Starts a program and returns at once, its standard streams on the NUL
// device (standard output into options.outputFile when named). The caller
// waits with finishProgram, which closes the handles and gives the exit code.
PROCESS_INFORMATION startProgram(const std::wstring& program, const ProcessOptions& options = {});
DWORD finishProgram(const PROCESS_INFORMATION& started);

// Every file below `directory`, and every empty folder in it (with a
// trailing backslash), as sorted paths relative to it.
std::vector<std::wstring> filesBelow(const std::wstring& directory);

// A Windows path for a path of the build machine (Wine maps / to Z:).
std::wstring windowsPathOf(const std::string& unixPath);

// The build folder the tests run in, as a Windows path.
std::wstring buildDirectory();

// A fresh, empty directory below the Windows temporary folder.
std::wstring makeScratchDirectory(const wchar_t* label);

bool pathExists(const std::wstring& path);
std::string readWholeFile(const std::wstring& path);
void writeWholeFile(const std::wstring& path, const std::string& contents);
