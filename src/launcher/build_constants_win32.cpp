#include <windows.h>

#include "diag/report.h"
#include "launcher/build_constants.h"
#include "launcher/stamped_configuration.h"
#include "payload/format.h"

// The linker's name for the start of this executable's own image, where the
// loader mapped its headers (at least one page).
extern "C" IMAGE_DOS_HEADER __ImageBase;
// The stub's configuration block (configuration_block.cpp).
extern "C" const StampedConfiguration tavmorConfiguration;

BuildConstants loadBuildConstants() {
  const unsigned char* const image = reinterpret_cast<const unsigned char*>(&__ImageBase);
  LauncherConfiguration configuration;
  // The header's own message: without a sound configuration there is no
  // attached data to find.
  if (!readStampedConfiguration(tavmorConfiguration, configuration) ||
      !sectionHoldsRange(image, 4096, configuration.attachedDataRva,
                         kAttachedHeaderSize + configuration.inputLength)) {
    fatalError("Error, couldn't find attached data header.");
  }
  const Utf16Unit* const* texts = configuration.texts;
  // A table the image does not hold is no table: the single pass needs none.
  const bool hasTable =
      configuration.entryTableRva != 0 && configuration.entryTableRva % 4 == 0 &&
      sectionHoldsRange(image, 4096, configuration.entryTableRva, configuration.entryTableLength);
  // Our own headers as the loader mapped them; through the module handle,
  // which the compiler does not take for the one DOS header behind
  // __ImageBase.
  const unsigned char* const mapped =
      reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
  const IMAGE_NT_HEADERS64* const headers = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
      mapped + reinterpret_cast<const IMAGE_DOS_HEADER*>(mapped)->e_lfanew);
  return BuildConstants{texts[kSpecText],
                        {texts[kCompanyText], texts[kProductText], texts[kVersionText],
                         texts[kFileVersionText], texts[kProductVersionText]},
                        image + configuration.attachedDataRva,
                        configuration.inputLength,
                        hasTable ? image + configuration.entryTableRva : nullptr,
                        hasTable ? configuration.entryTableLength : 0,
                        configuration.cacheCheck,
                        (configuration.flags & kNoProgressDisplay) == 0,
                        texts[kProgressText],
                        headers->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI};
}
