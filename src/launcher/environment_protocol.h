// The variables through which a launcher run fixes its own values and tells
// the child where the launcher lives and how it was called.
#pragma once

#include "base/utf16_text.h"

// Removes the inherited time and random variables, so every run makes fresh
// ones, and publishes this process's id as TAVMOR_ONEFILE_PARENT.
void prepareLauncherEnvironment();

// Sets TAVMOR_ONEFILE_DIRECTORY to the directory of the launcher's own
// executable and TAVMOR_ORIGINAL_ARGV0 to `firstArgument`.
void publishChildEnvironment(const Utf16Unit* firstArgument);

// Exposed for tests: the path and directory buffers the publishing fills.
constexpr size_t kLauncherPathCapacity = 4097;
extern Utf16Unit launcherFilePath[kLauncherPathCapacity];
extern Utf16Unit launcherDirectory[kLauncherPathCapacity];

// Cuts `path` at its last backslash, dropping it and what follows; a path
// without a backslash stays whole.
void cutAtLastBackslash(Utf16Unit* path);
