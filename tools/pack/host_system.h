// The few things tavmor-pack asks of the host system.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

// Runs `arguments` (the program first, looked up on PATH unless it holds a
// slash) in `workingDirectory` and waits for it; its output passes through.
// Returns its exit status, or -1 when it could not be started or was killed.
int runProgram(const std::vector<std::string>& arguments,
               const std::filesystem::path& workingDirectory);

// The program's path if `name` (with a slash: as given) is an executable
// file, looked up on PATH otherwise; empty when there is none.
std::string findProgram(const std::string& name);

// This tool's own executable, to find its runtime relative to it.
std::filesystem::path selfExecutable(const char* argv0);

bool standardErrorIsTerminal();

// A new, empty folder for one build's intermediate files.
std::filesystem::path makeTemporaryFolder();
