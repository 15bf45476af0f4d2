#include <cstdlib>

#include "child/launch.h"
#include "diag/report.h"
#include "launcher/build_constants.h"
#include "launcher/dll_search.h"
#include "launcher/environment_protocol.h"
#include "launcher/launcher_main.h"
#include "payload/extract.h"
#include "payload/header.h"
#include "progress/progress_display.h"
#include "target/spec.h"

int launcherMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  // Before anything else can abort or load a DLL by name.
  keepRuntimeAbortsOffScreen();
  restrictDllSearchToSystemFolder();

  // 1. The runtime's argument vector; its first element goes to the child's
  //    environment in stage 11.
  const Utf16Unit* const* const arguments = reinterpret_cast<const Utf16Unit* const*>(__wargv);

  // 2. Take the current directory out of the DLL search order.
  SetDllDirectoryW(L"");

  // 3. Fresh time and random values for this run; publish our process id.
  prepareLauncherEnvironment();

  // 4. The target directory, from the stamped constants, which are checked
  //    first. Nothing is written to disk before stage 9.
  const BuildConstants constants = loadBuildConstants();
  setBuildTimeValues(&constants.values);
  if (!expandSpec(targetDirectory, constants.builtInSpec, kPathCapacity)) {
    fatalSpecError(constants.builtInSpec);
  }
  qualifyTargetDirectory();

  // 5. The attached data lies in our own read-only data.
  const unsigned char* readPosition = constants.attachedData;
  const uint64_t inputLength = constants.attachedInputLength;

  // 6. From here on a console event may arrive on another thread.
  if (!SetConsoleCtrlHandler(consoleControlHandler, TRUE)) {
    fatalError("Error, failed to register signal handler.");
  }

  // 7. to 10. Check the attached data and unpack it. The reader is opened
  //    and closed inside, only when something must be decoded: with a
  //    trusted entry table, a start whose files are all in place decodes
  //    nothing. Progress shows only on a start that unpacks long enough
  //    for someone to wonder, and is gone before the child starts.
  checkAttachedDataHeader(&readPosition);
  const AttachedInput input{readPosition, inputLength};
  EntryTableView table;
  const bool tableTrusted =
      trustEntryTable(constants.entryTable, constants.entryTableLength, input, table);
  // Without a trusted table no pass announces its totals: nothing to show.
  startProgressDisplay({constants.progressDisplay && tableTrusted, constants.graphical,
                        constants.values.product, constants.progressText});
  unpackPayload(targetDirectory, input, tableTrusted ? &table : nullptr,
                constants.cacheCheck == kCacheCheckMetadata);
  stopProgressDisplay();

  // 11. and 12. Tell the child where we live, start it and wait for it.
  publishChildEnvironment(arguments[0]);
  const int exitCode = launchChild(childProgramPath);

  // 13. The runtime passes this to exit(): all 32 bits of the child's code.
  return exitCode;
}

// The runtime's wide GUI start-up calls wWinMain.
extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, wchar_t* commandTail,
                               int showWindow) {
  return launcherMain(instance, previousInstance, commandTail, showWindow);
}
