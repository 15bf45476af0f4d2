// The build-time configuration of a launcher, as tavmor-pack stamps it into
// the launcher stub. The stub carries the block below with every byte zero,
// alone in a read-only section of its own (kConfigurationSection); the tool
// fills it in and adds the attached data, and the entry table when there is
// one, as further sections. The launcher trusts none of it: a block that is
// not stamped, or that places the attached data anywhere but inside one of the
// image's own sections, is refused; an entry table outside the image is
// ignored.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

constexpr char kConfigurationSection[8] = ".tavcfg";
constexpr unsigned char kConfigurationSignature[8] = {'T', 'A', 'V', 'M', 'O', 'R', '0', '1'};

// The seven texts, each NUL-terminated, one after the other in this order.
enum ConfigurationText {
  kSpecText,
  kCompanyText,
  kProductText,
  kVersionText,
  kFileVersionText,
  kProductVersionText,
  kProgressText,  // the line of the first start's progress display
  kConfigurationTextCount
};
// Units for all seven texts with their terminators.
constexpr size_t kConfigurationTextCapacity = 8192;

// How a start that finds the target directory decides which files to write:
// by every file's contents, or (chosen by the packager) by the sizes and
// times recorded after the last complete pass, reading only what changed.
enum CacheCheck : uint32_t { kCacheCheckContent = 0, kCacheCheckMetadata = 1 };

// Bits of the flags word. kNoProgressDisplay: the packager chose
// --progress none, so a long first start shows no window and no line.
constexpr uint32_t kNoProgressDisplay = 1;
constexpr uint32_t kKnownConfigurationFlags = kNoProgressDisplay;

// Little-endian, as the launcher reads it in place.
struct StampedConfiguration {
  unsigned char signature[8];  // kConfigurationSignature once stamped
  uint32_t attachedDataRva;    // of the "R" of the attached data
  uint32_t entryTableRva;      // of the entry table, or zero for none
  uint64_t inputLength;        // the frame and the trailer: the decoder's input
  uint32_t entryTableLength;   // bytes
  uint32_t cacheCheck;         // a CacheCheck
  uint32_t flags;              // kNoProgressDisplay; no other bit
  uint32_t reserved;           // zero
  Utf16Unit texts[kConfigurationTextCapacity];
};
static_assert(sizeof(StampedConfiguration) == 40 + 2 * kConfigurationTextCapacity,
              "the block has no padding");

// The block as the launcher uses it.
struct LauncherConfiguration {
  const Utf16Unit* texts[kConfigurationTextCount];
  uint32_t attachedDataRva;
  uint64_t inputLength;
  uint32_t entryTableRva;  // zero when there is no table
  uint32_t entryTableLength;
  CacheCheck cacheCheck;
  uint32_t flags;
};

// False unless `block` is stamped: the signature, a known cache check, no
// unknown flag, a zero reserved word, seven texts that each end within the block, and a spec that
// is not empty.
bool readStampedConfiguration(const StampedConfiguration& block, LauncherConfiguration& out);

// True when the `length` bytes at `rva` lie inside one section of a PE32+
// image whose headers are the `size` bytes at `headers` (its first page as
// mapped, or the start of its file). Reads nothing outside those bytes.
bool sectionHoldsRange(const unsigned char* headers, size_t size, uint64_t rva, uint64_t length);
