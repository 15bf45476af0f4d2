// A Windows program that does nothing: the packed application's program in
// the benchmarks (it exits at once, so only the launcher is timed) and the
// baseline for start time and memory under Wine.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) { return 0; }
