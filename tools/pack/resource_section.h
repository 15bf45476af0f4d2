// The launcher's resource section (.rsrc), written here rather than by a
// resource compiler: the version information, the icon group and the
// manifest, each in U.S. English (0x409) as resource compilers write them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct VersionResource {
  std::array<uint16_t, 4> fileVersion{};
  std::array<uint16_t, 4> productVersion{};
  std::u16string companyName;
  std::u16string productName;
  std::u16string internalName;
  std::u16string originalFilename;
  std::u16string fileDescription;
};

struct LauncherResources {
  VersionResource version;
  std::string icon;      // an .ico file, checked by iconFileProblem
  std::string manifest;  // UTF-8 XML
};

// Why `icon` is not an .ico file whose images all lie within it, or an empty
// string.
std::string iconFileProblem(const std::string& icon);

// The section's bytes for a section that starts at `rva` in the image: the
// data entries hold addresses, so the bytes depend on where they land.
std::string resourceSection(const LauncherResources& resources, uint32_t rva);

// Why the `size` bytes at `section` (at `rva`) are not a resource section
// holding a version resource, an icon group whose icons are there and a
// manifest, all within the section; or an empty string.
std::string resourceSectionProblem(const unsigned char* section, size_t size, uint32_t rva);

// The version resource's blob (VS_VERSIONINFO), exposed for tests.
std::string versionInfo(const VersionResource& version);
