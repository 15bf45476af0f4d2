#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include "child/command_line.h"
#include "diag/report.h"

void buildChildCommandLine() {
  int count = 0;
  // The array is never released: it lives until the process ends.
  const LPWSTR* const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  // Without an array there is nothing safe to pass on; a child started with
  // a made-up command line would be worse than no child.
  if (arguments == nullptr) abortSilently();

  clearChildCommandLine();
  if (launcherModulePath[0] == 0) {
    // A path longer than the buffer comes back cut by the platform and is
    // used as it stands; only a failed call ends the run.
    const DWORD length =
        GetModuleFileNameW(/*hModule=*/nullptr, reinterpret_cast<wchar_t*>(launcherModulePath),
                           /*nSize=*/kPathCapacity);
    if (length == 0) abortSilently();
  }
  joinChildCommandLine(reinterpret_cast<const Utf16Unit* const*>(arguments), count);
}
