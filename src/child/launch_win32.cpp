#include "child/launch.h"

// The child launch arrives with its own work; until then nothing is started.
int launchChild(const Unit*) { return 0; }

BOOL WINAPI consoleControlHandler(DWORD) { return FALSE; }
