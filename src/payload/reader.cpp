#include "payload/reader.h"

#include <cstdlib>
#include <cstring>

#include "diag/report.h"
#include "payload/format.h"

PayloadStatus beginPayloadReader(PayloadReader& reader, const unsigned char* input,
                                 uint64_t inputLength) {
  reader.input = ZSTD_inBuffer{input, static_cast<size_t>(inputLength), 0};
  reader.output = ZSTD_outBuffer{nullptr, 0, 0};
  reader.context = nullptr;
  reader.decodedBlock = static_cast<unsigned char*>(std::malloc(kDecodedBlockSize));
  if (reader.decodedBlock == nullptr) return PayloadStatus::outOfMemory;
  reader.output.dst = reader.decodedBlock;
  reader.context = ZSTD_createDCtx();
  if (reader.context == nullptr) return PayloadStatus::outOfMemory;
  return PayloadStatus::ok;
}

PayloadStatus takePayload(PayloadReader& reader, void* destination, size_t count) {
  unsigned char* out = static_cast<unsigned char*>(destination);
  // Whether the last decoder call of this request filled the block; then the
  // decoder may hold output that did not fit, even with its input consumed.
  bool blockFilled = false;
  for (;;) {
    const size_t available = reader.output.size - reader.output.pos;
    if (available > 0) {
      const size_t taken = available < count ? available : count;
      std::memcpy(out, reader.decodedBlock + reader.output.pos, taken);
      reader.output.pos += taken;
      out += taken;
      count -= taken;
      if (count == 0) return PayloadStatus::ok;
      continue;
    }
    if (reader.input.pos >= reader.input.size && !blockFilled) return PayloadStatus::decodeFailed;
    reader.output.size = kDecodedBlockSize;
    reader.output.pos = 0;
    const size_t result = ZSTD_decompressStream(reader.context, &reader.output, &reader.input);
    if (ZSTD_isError(result)) {
      // Stay failed: an empty block and spent input make every later request
      // fail too, instead of handing out what the failed call left behind.
      reader.output.size = reader.output.pos = 0;
      reader.input.pos = reader.input.size;
      return PayloadStatus::decodeFailed;
    }
    blockFilled = reader.output.pos == kDecodedBlockSize;
    reader.output.size = reader.output.pos;
    reader.output.pos = 0;
  }
}

void endPayloadReader(PayloadReader& reader) {
  if (reader.context != nullptr) ZSTD_freeDCtx(reader.context);
  reader.context = nullptr;
  std::free(reader.decodedBlock);
  reader.decodedBlock = nullptr;
}

namespace {
PayloadReader launcherReader;
}

void openPayloadReader(const unsigned char* input, uint64_t inputLength) {
  if (beginPayloadReader(launcherReader, input, inputLength) != PayloadStatus::ok) {
    fatalError("Error, couldn't allocate memory.");
  }
}

void readPayload(void* destination, size_t count) {
  if (takePayload(launcherReader, destination, count) != PayloadStatus::ok) {
    fatalError("Error, couldn't decode attached data.");
  }
}

void closePayloadReader() { endPayloadReader(launcherReader); }

PayloadReader& launcherPayloadReader() { return launcherReader; }
