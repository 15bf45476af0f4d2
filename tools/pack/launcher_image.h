// Writing a launcher image from the stub: the stub's own sections as they
// are, then the sections added here, .rsrc (the resources), .payload (the
// attached data, starting on a page of the file so that loaders map it) and,
// when there is one, .tavtbl (the entry table, payload/entry_table.h), the
// configuration block stamped, and every header field that depends on them
// fixed: the section count and table, SizeOfInitializedData, SizeOfImage,
// the subsystem, the resource directory entry and the checksum. Nothing
// follows the last section, so a signature covers every byte.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher/stamped_configuration.h"
#include "pe_image.h"
#include "resource_section.h"

// Windows loads no image of 2 GiB or more: SizeOfImage stays below this.
constexpr uint64_t kImageSizeLimit = uint64_t{1} << 31;

struct LauncherSettings {
  std::u16string texts[kConfigurationTextCount];  // spec, names, versions, progress line
  uint16_t subsystem = pe::kSubsystemGui;
  CacheCheck cacheCheck = kCacheCheckContent;
  // Whether a long first start shows a window or a console line.
  bool progressDisplay = true;
  // Whether the launcher carries the entry table, which lets a start check
  // the files it finds without decoding.
  bool entryTable = true;
  LauncherResources resources;
};

// Why these texts do not fit the configuration block, or an empty string.
std::string configurationTextsProblem(const LauncherSettings& settings);

class LauncherImageWriter {
 public:
  // Lays the image out around `stub`. Throws std::runtime_error when the stub
  // is unusable (it travels inside this tool, so that is an internal fault).
  LauncherImageWriter(const unsigned char* stub, size_t stubSize, const LauncherSettings& settings);

  // Where the attached data starts in the file.
  uint64_t attachedDataOffset() const { return payloadOffset_; }
  // The longest attached data that keeps SizeOfImage below kImageSizeLimit.
  uint64_t attachedDataLimit() const;

  // Whether the image stays below kImageSizeLimit with `length` bytes of
  // attached data and an entry table of `tableLength` bytes after it.
  bool fits(uint64_t length, uint64_t tableLength) const;

  // Writes everything but the attached data into `out`, which already holds
  // the `length` bytes of it at attachedDataOffset(); `attachedSum` has seen
  // exactly those bytes. `entryTable`, when not empty, goes in a section of
  // its own after them. Throws std::runtime_error when a write fails.
  void finish(std::FILE* out, uint64_t length, const PeChecksum& attachedSum,
              const std::vector<unsigned char>& entryTable = {});

 private:
  std::vector<unsigned char> front_;  // headers, stub sections, .rsrc, padding
  PeHeaders stub_;
  std::string resources_;
  uint32_t resourceRva_ = 0, resourceOffset_ = 0, payloadRva_ = 0;
  uint64_t payloadOffset_ = 0;
  uint64_t configurationOffset_ = 0;
  LauncherSettings settings_;
};

// Reads a written launcher back: its headers, that every section lies in the
// file and nothing follows the last, its configuration, its resources, and
// the header and trailer of the attached data the configuration points at,
// and the entry table when the configuration names one. Returns what is
// wrong, or an empty string.
std::string launcherImageProblem(const std::filesystem::path& file);
