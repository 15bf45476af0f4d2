#include "payload/format.h"

#include <libdeflate.h>

bool hasAttachedDataHeader(const unsigned char* data) {
  return data[0] == kAttachedDataHeader[0] && data[1] == kAttachedDataHeader[1] &&
         data[2] == kAttachedDataHeader[2];
}

// libdeflate's CRC-32 uses carry-less multiplication where the CPU has it
// (several times zlib's speed) and gives zlib's values.
static_assert(sizeof(size_t) >= sizeof(uint64_t), "one call covers any length");

uint32_t extendCrc(uint32_t crc, const void* data, uint64_t length) {
  // libdeflate answers a null buffer (an empty vector's data()) with 0, not
  // with the running CRC.
  if (length == 0) return crc;
  return libdeflate_crc32(crc, data, static_cast<size_t>(length));
}

uint32_t contentChecksum(const void* data, size_t length) {
  return checksumFromCrc(extendCrc(0, data, length));
}

void storeU64(unsigned char* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

void storeU32(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t loadU64(const unsigned char* in) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

uint32_t loadU32(const unsigned char* in) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

const char* entryNameFault(const char16_t* name, size_t length) {
  if (length == 0) return "the name is empty";
  if (length >= kEntryNameCapacity) return "the name is longer than 1023 UTF-16 units";
  size_t componentStart = 0;
  for (size_t i = 0; i <= length; ++i) {
    const char16_t unit = i < length ? name[i] : u'\\';
    if (unit == u'\\') {
      const size_t componentLength = i - componentStart;
      if (componentLength == 0) return "the name has an empty path component";
      const char16_t* component = name + componentStart;
      if (component[0] == u'.' &&
          (componentLength == 1 || (componentLength == 2 && component[1] == u'.'))) {
        return "the name has a \".\" or \"..\" path component";
      }
      componentStart = i + 1;
      continue;
    }
    if (unit == 0) return "the name holds a zero unit";
    if (unit < 0x20) return "the name holds a control character";
    for (const char16_t refused : u"<>:\"/|?*") {
      if (refused != 0 && unit == refused) return "the name holds one of < > : \" / | ? *";
    }
  }
  return nullptr;
}

void fillAttachedTrailer(unsigned char (&trailer)[kAttachedTrailerSize], uint64_t frameLength) {
  for (unsigned char& byte : trailer) byte = 0;
  // The u64 holds its own offset from the header's first byte.
  storeU64(trailer + 3, kAttachedHeaderSize + frameLength + 3);
}
