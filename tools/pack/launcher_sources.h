// The small generated inputs that make a launcher out of the launcher
// library: the build-time constants, the attached data's place in the
// read-only data, and the resource script.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>

// A UTF-16 text as the initializer of a NUL-terminated unit array:
// "0x0041, 0x0062, 0". Unit arrays keep any text, quotes and backslashes
// included, out of the compiler's string parsing.
std::string unitArray(const std::u16string& text);

// Replaces every @NAME@ of `text` by values[NAME]. Throws when the template
// holds a placeholder without a value: the templates and this tool are out of
// step.
std::string fillTemplate(const std::string& text, const std::map<std::string, std::string>& values);

// Parses "1", "1.2", "1.2.3" or "1.2.3.4" (numbers 0 to 65535) into four
// numbers, missing ones 0. False for anything else.
bool parseVersionNumbers(const std::string& text, std::array<uint16_t, 4>& numbers);

// Why `spec` would fail to expand in the launcher, or an empty string: every
// brace must belong to one {NAME} whose NAME the launcher knows (without
// regard to case).
std::string specProblem(const std::u16string& spec);

struct VersionResource {
  std::array<uint16_t, 4> fileVersion{};
  std::array<uint16_t, 4> productVersion{};
  std::u16string companyName;
  std::u16string productName;
  std::u16string internalName;
  std::u16string originalFilename;
  std::u16string fileDescription;
};

// A resource script with the version resource, the icon group from
// `iconFile` and the manifest from `manifestFile` (file names relative to
// where windres runs; they must not need quoting).
std::string resourceScript(const VersionResource& version, const std::string& iconFile,
                           const std::string& manifestFile);
