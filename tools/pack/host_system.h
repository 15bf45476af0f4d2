// The few things tavmor-pack asks of the host system.
#pragma once
#include <filesystem>

bool standardErrorIsTerminal();

// A new, empty folder, for tests that need one.
std::filesystem::path makeTemporaryFolder();
