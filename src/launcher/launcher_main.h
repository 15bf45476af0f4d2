#pragma once
#include <windows.h>

// The launcher's whole run: thirteen stages in a fixed order, each once. The
// four entry arguments are unused: the program name comes from the runtime's
// argument vector and the full command line from the platform.
int launcherMain(HINSTANCE instance, HINSTANCE previousInstance, wchar_t* commandTail,
                 int showWindow);
