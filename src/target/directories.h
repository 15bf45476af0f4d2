// Directory creation on demand, top down, remembering every directory found
// or made so that each costs at most one system call per run.
#pragma once

#include "diag/text.h"

// True when the directory is known to exist afterwards.
bool ensureDirectory(const Unit* path);

// Makes sure every ancestor of `path` exists; `path` itself is not created.
void createParentDirectories(const Unit* path);

// Makes sure the directory holding the file at `entryPath` exists. Failures
// are not reported here: they surface when the file is opened.
void createEntryDirectories(const Unit* entryPath);
