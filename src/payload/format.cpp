#include "payload/format.h"

#include <zlib.h>

#include <climits>

bool hasAttachedDataHeader(const unsigned char* data) {
  return data[0] == kAttachedDataHeader[0] && data[1] == kAttachedDataHeader[1] &&
         data[2] == kAttachedDataHeader[2];
}

uint32_t extendCrc(uint32_t crc, const void* data, uint64_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  constexpr uint64_t kPiece = 1u << 30;
  while (length > 0) {
    const uInt piece = static_cast<uInt>(length < kPiece ? length : kPiece);
    crc = static_cast<uint32_t>(crc32(crc, bytes, piece));
    bytes += piece;
    length -= piece;
  }
  return crc;
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

void fillAttachedTrailer(unsigned char (&trailer)[kAttachedTrailerSize], uint64_t frameLength) {
  for (unsigned char& byte : trailer) byte = 0;
  // The u64 holds its own offset from the header's first byte.
  storeU64(trailer + 3, kAttachedHeaderSize + frameLength + 3);
}
