// libFuzzer target: arbitrary bytes as attached data, through the header
// check and the reader, read entry by entry the way extraction reads them.
#include <cstddef>
#include <cstdint>

#include "entry_walk.h"
#include "payload/format.h"
#include "payload/reader.h"

// Enough for many blocks; a few bytes of RLE blocks can otherwise decode to
// gigabytes, which says nothing more about the reader.
constexpr uint64_t kDecodedLimit = 4 << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kAttachedHeaderSize || !hasAttachedDataHeader(data)) return 0;
  PayloadReader reader;
  if (beginPayloadReader(reader, data + kAttachedHeaderSize, size - kAttachedHeaderSize) ==
      PayloadStatus::ok) {
    walkEntries(reader, kDecodedLimit, nullptr);
  }
  endPayloadReader(reader);
  return 0;
}
