#include <windows.h>

#include "diag/report.h"
#include "launcher/environment_protocol.h"
#include "target/environment.h"

Utf16Unit launcherFilePath[kLauncherPathCapacity];
Utf16Unit launcherDirectory[kLauncherPathCapacity];

void prepareLauncherEnvironment() {
  setEnvironmentValue("TAVMOR_ONEFILE_START", nullptr);
  setEnvironmentValue("TAVMOR_ONEFILE_TIME_US", nullptr);
  setEnvironmentValue("TAVMOR_ONEFILE_RANDOM", nullptr);

  Utf16Unit digits[kProcessIdTextCapacity];
  formatProcessId(GetCurrentProcessId(), digits);
  setEnvironmentValue("TAVMOR_ONEFILE_PARENT", digits);
}

void publishChildEnvironment(const Utf16Unit* firstArgument) {
  if (launcherFilePath[0] == 0) {
    // The path is used as the platform reports it; a failed call leaves the
    // buffer empty, which publishes an empty directory.
    GetModuleFileNameW(/*hModule=*/nullptr, reinterpret_cast<wchar_t*>(launcherFilePath),
                       /*nSize=*/kLauncherPathCapacity);
  }
  bool terminated = false;
  for (size_t i = 0; i < kLauncherPathCapacity; ++i) {
    if (launcherFilePath[i] == 0) {
      terminated = true;
      break;
    }
  }
  if (!terminated) abortSilently();

  copyText(launcherDirectory, kLauncherPathCapacity, launcherFilePath);
  cutAtLastBackslash(launcherDirectory);
  setEnvironmentValue("TAVMOR_ONEFILE_DIRECTORY", launcherDirectory);
  setEnvironmentValue("TAVMOR_ORIGINAL_ARGV0", firstArgument);
}
