// A Windows program that does nothing: the packed application's program in
// the benchmarks (it exits at once, so only the launcher is timed) and the
// baseline for start time and memory under Wine. Given any argument it waits
// 300 ms before it ends, so that a sampler sees its settled memory.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t* commandTail, int) {
  if (commandTail[0] != 0) Sleep(300);
  return 0;
}
