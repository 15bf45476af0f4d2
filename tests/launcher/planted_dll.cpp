// A DLL that does nothing, copied beside launcher_test.exe under the names of
// system DLLs: wherever it is loaded instead of the system's, the search
// looked in the program's own folder.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
