#include "launcher/stamped_configuration.h"

#include <cstring>

namespace {

uint32_t loadLittle(const unsigned char* in, size_t bytes) {
  uint32_t value = 0;
  for (size_t i = bytes; i > 0; --i) value = value << 8 | in[i - 1];
  return value;
}

}  // namespace

bool readStampedConfiguration(const StampedConfiguration& block, LauncherConfiguration& out) {
  if (std::memcmp(block.signature, kConfigurationSignature, sizeof block.signature) != 0 ||
      (block.cacheCheck != kCacheCheckContent && block.cacheCheck != kCacheCheckMetadata) ||
      (block.flags & ~kKnownConfigurationFlags) != 0 || block.reserved != 0) {
    return false;
  }
  size_t at = 0;
  for (int text = 0; text < kConfigurationTextCount; ++text) {
    out.texts[text] = block.texts + at;
    while (at < kConfigurationTextCapacity && block.texts[at] != 0) ++at;
    if (at == kConfigurationTextCapacity) return false;
    ++at;
  }
  out.attachedDataRva = block.attachedDataRva;
  out.inputLength = block.inputLength;
  out.entryTableRva = block.entryTableLength == 0 ? 0 : block.entryTableRva;
  out.entryTableLength = out.entryTableRva == 0 ? 0 : block.entryTableLength;
  out.cacheCheck = static_cast<CacheCheck>(block.cacheCheck);
  out.flags = block.flags;
  return out.texts[kSpecText][0] != 0;
}

bool sectionHoldsRange(const unsigned char* headers, size_t size, uint64_t rva, uint64_t length) {
  if (size < 0x40 || headers[0] != 'M' || headers[1] != 'Z') return false;
  const uint64_t pe = loadLittle(headers + 0x3C, 4);
  if (pe + 24 > size || std::memcmp(headers + pe, "PE\0\0", 4) != 0) return false;
  const uint64_t sections = loadLittle(headers + pe + 6, 2);
  const uint64_t table = pe + 24 + loadLittle(headers + pe + 20, 2);
  if (table + 40 * sections > size) return false;
  for (uint64_t i = 0; i < sections; ++i) {
    // Virtual size at 8, virtual address at 12 of each 40-byte entry.
    const unsigned char* const entry = headers + table + 40 * i;
    const uint64_t virtualSize = loadLittle(entry + 8, 4);
    const uint64_t virtualAddress = loadLittle(entry + 12, 4);
    if (rva >= virtualAddress && length <= virtualSize &&
        rva - virtualAddress <= virtualSize - length) {
      return true;
    }
  }
  return false;
}
