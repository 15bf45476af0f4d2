// Where the launcher lets the platform look for a DLL it loads by name.
#pragma once

// From here on LoadLibrary looks for a DLL named without a path in the system
// folder only, never in the launcher's own folder (a downloads folder, say)
// or the current one. Not inherited by the child. Does nothing on a system
// without SetDefaultDllDirectories (Windows 7 lacking update KB2533623).
void restrictDllSearchToSystemFolder();
