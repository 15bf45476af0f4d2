#include "attached_data_search.h"

#include <zstd.h>

#include <cstring>

namespace {

uint64_t loadU64(const unsigned char* in) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | in[i];
  return value;
}

bool isZero(const unsigned char* in, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (in[i] != 0) return false;
  }
  return true;
}

// The window from the frame header (RFC 8878, 3.1.1.1): the window
// descriptor, or for a single-segment frame the content size.
uint64_t windowSizeOf(const unsigned char* frame, size_t length) {
  if (length < 6) return 0;
  const unsigned char descriptor = frame[4];
  if ((descriptor & 0x20) == 0) {
    const unsigned exponent = frame[5] >> 3;
    const uint64_t base = uint64_t{1} << (10 + exponent);
    return base + base / 8 * (frame[5] & 7);
  }
  static const size_t kContentSizeBytes[4] = {1, 2, 4, 8};
  static const size_t kDictionaryBytes[4] = {0, 1, 2, 4};
  const size_t sizeBytes = kContentSizeBytes[descriptor >> 6];
  const size_t at = 5 + kDictionaryBytes[descriptor & 3];
  if (at + sizeBytes > length) return 0;
  uint64_t size = 0;
  for (size_t i = sizeBytes; i-- > 0;) size = size << 8 | frame[at + i];
  return sizeBytes == 2 ? size + 256 : size;
}

}  // namespace

bool findAttachedData(const unsigned char* image, size_t size, FoundAttachedData& found) {
  static const unsigned char kStart[] = {'R', 'U', 'Q', 0x28, 0xB5, 0x2F, 0xFD};
  const unsigned char* const end = image + size;
  for (const unsigned char* at = image; end - at >= static_cast<ptrdiff_t>(sizeof kStart); ++at) {
    at = static_cast<const unsigned char*>(std::memchr(at, 'R', end - at));
    if (at == nullptr || end - at < static_cast<ptrdiff_t>(sizeof kStart)) return false;
    if (std::memcmp(at, kStart, sizeof kStart) != 0) continue;
    const size_t frame = ZSTD_findFrameCompressedSize(at + 3, end - at - 3);
    if (ZSTD_isError(frame) || static_cast<size_t>(end - at) < 17 + frame) continue;
    const unsigned char* trailer = at + 3 + frame;
    if (!isZero(trailer, 3) || loadU64(trailer + 3) != 6 + frame || !isZero(trailer + 11, 3)) {
      continue;
    }
    found = {static_cast<size_t>(at - image), 17 + frame, frame, windowSizeOf(at + 3, frame)};
    return true;
  }
  return false;
}
