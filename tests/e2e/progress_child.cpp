// The packed program of the progress tests. Its exit code says whether a
// launcher's progress window was still there when it started (1) or not (0);
// the console build also writes one line, which must stand at the start of
// the line that the launcher's progress line took.
#include <windows.h>

#include <cstdio>

int main() {
  const HWND window = FindWindowW(L"TavmorProgressWindow", nullptr);
  const bool shown = window != nullptr && IsWindowVisible(window);
  std::fputs("progress child ran\n", stdout);
  return shown ? 1 : 0;
}
