#include "payload/packed_entry_table.h"

#include <zstd.h>

#include "payload/entry_table.h"

namespace {

constexpr unsigned char kChecksumFlag = 0x04;  // frame header descriptor, bit 2

}  // namespace

uint64_t packedEntryTableLength(const unsigned char* stored, size_t storedLength) {
  if (stored == nullptr || ZSTD_findFrameCompressedSize(stored, storedLength) != storedLength) {
    return 0;
  }
  // A frame without its checksum would let a damaged block decode to other
  // bytes of the right length; the table's own CRC would catch most, but the
  // writer always sets the flag, so its absence is damage.
  if (storedLength < 5 || (stored[4] & kChecksumFlag) == 0) return 0;
  const unsigned long long length = ZSTD_getFrameContentSize(stored, storedLength);
  if (length == ZSTD_CONTENTSIZE_UNKNOWN || length == ZSTD_CONTENTSIZE_ERROR ||
      length < kEntryTableHeaderSize + 4 || length > kPackedEntryTableLimit) {
    return 0;
  }
  return length;
}

bool unpackEntryTable(const unsigned char* stored, size_t storedLength, unsigned char* out,
                      size_t length) {
  if (packedEntryTableLength(stored, storedLength) != length) return false;
  const size_t decoded = ZSTD_decompress(out, length, stored, storedLength);
  return !ZSTD_isError(decoded) && decoded == length;
}
