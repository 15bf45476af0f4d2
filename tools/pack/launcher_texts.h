// The texts a launcher is stamped with, taken from build's options and
// checked before anything is written: the spec, the names, the versions and
// the line of the first start's progress display.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "resource_section.h"

// Parses "1", "1.2", "1.2.3" or "1.2.3.4" (numbers 0 to 65535) into four
// numbers, missing ones 0. False for anything else.
bool parseVersionNumbers(const std::string& text, std::array<uint16_t, 4>& numbers);

// Everything the launcher's configuration and version resource say.
struct LauncherTexts {
  std::u16string spec, company, product, version, fileVersion, productVersion, progressText;
  VersionResource resource;
};

// Why `spec` would fail to expand in the launcher, or an empty string: every
// brace must belong to one {NAME} whose NAME the launcher knows (without
// regard to case), and the part fixed at build time (its literal text and
// the build-time values of `texts`) must leave room in a path.
std::string specProblem(const std::u16string& spec, const LauncherTexts& texts);

// What is unwise about a spec that works: relative to the working folder,
// outside the user's own folders, or the same for every version.
// Whether `spec` starts in the user's own folders ({CACHE_DIR}, {HOME},
// {TEMP}), where no other account can write.
bool specInUsersFolders(const std::u16string& spec);

std::vector<std::string> specWarnings(const std::u16string& spec, const LauncherTexts& texts);

struct LauncherTextOptions {
  std::string product, company, version, fileVersion, productVersion, description, spec,
      progressText;
  bool hasProduct = false, hasCompany = false, hasFileVersion = false, hasProductVersion = false,
       hasDescription = false, hasSpec = false, hasProgressText = false;
};

// The texts for a launcher whose child program is `childName` and whose file
// is called `outputName`. Throws a UserError naming the option at fault.
LauncherTexts launcherTexts(const LauncherTextOptions& options, const std::u16string& childName,
                            const std::string& outputName);
