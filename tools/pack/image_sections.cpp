#include "image_sections.h"

#include <algorithm>
#include <cstring>

#include "payload/format.h"

namespace {

uint16_t loadU16(const unsigned char* in) { return static_cast<uint16_t>(in[0] | in[1] << 8); }

}  // namespace

std::optional<uint32_t> sectionFileOffset(const std::string& image, const char* name) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(image.data());
  const size_t size = image.size();
  if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return std::nullopt;
  const uint32_t pe = loadU32(bytes + 0x3C);
  // "PE\0\0", then the file header: machine, section count, time stamp,
  // symbol table, symbol count, optional header size, characteristics.
  if (pe > size || size - pe < 24 || std::memcmp(bytes + pe, "PE\0\0", 4) != 0) {
    return std::nullopt;
  }
  const uint16_t sections = loadU16(bytes + pe + 6);
  const size_t table = pe + 24 + loadU16(bytes + pe + 20);
  char wanted[8] = {};
  std::memcpy(wanted, name, std::min(std::strlen(name), sizeof wanted));
  for (size_t i = 0; i < sections; ++i) {
    // Name (8 bytes, zero-padded), virtual size, virtual address, raw size,
    // raw data offset, ...: 40 bytes in all.
    const size_t at = table + 40 * i;
    if (at > size || size - at < 40) return std::nullopt;
    if (std::memcmp(bytes + at, wanted, sizeof wanted) == 0) return loadU32(bytes + at + 20);
  }
  return std::nullopt;
}
