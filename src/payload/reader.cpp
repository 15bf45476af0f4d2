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

namespace {

// Leaves at least one decoded byte in the block, decoding as needed, or
// reports decodeFailed. `blockFilled` belongs to the caller's request: whether
// its last decoder call filled the block, after which the decoder may hold
// output that did not fit, even with its input consumed.
PayloadStatus fillBlock(PayloadReader& reader, bool& blockFilled) {
  while (reader.output.pos == reader.output.size) {
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
  return PayloadStatus::ok;
}

// Copies `count` bytes to `out`, for the request that owns `blockFilled`.
PayloadStatus copyPayload(PayloadReader& reader, unsigned char* out, size_t count,
                          bool& blockFilled) {
  for (;;) {
    if (fillBlock(reader, blockFilled) != PayloadStatus::ok) return PayloadStatus::decodeFailed;
    const size_t available = reader.output.size - reader.output.pos;
    const size_t taken = available < count ? available : count;
    std::memcpy(out, reader.decodedBlock + reader.output.pos, taken);
    reader.output.pos += taken;
    out += taken;
    count -= taken;
    if (count == 0) return PayloadStatus::ok;
  }
}

}  // namespace

PayloadStatus takePayload(PayloadReader& reader, void* destination, size_t count) {
  bool blockFilled = false;
  return copyPayload(reader, static_cast<unsigned char*>(destination), count, blockFilled);
}

PayloadStatus takeContentPiece(PayloadReader& reader, size_t count, unsigned char* scratch,
                               const unsigned char** piece) {
  bool blockFilled = false;
  if (fillBlock(reader, blockFilled) != PayloadStatus::ok) return PayloadStatus::decodeFailed;
  if (reader.output.size - reader.output.pos >= count) {
    *piece = reader.decodedBlock + reader.output.pos;
    reader.output.pos += count;
    return PayloadStatus::ok;
  }
  *piece = scratch;
  return copyPayload(reader, scratch, count, blockFilled);
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

const unsigned char* readContentPiece(size_t count, unsigned char* scratch) {
  const unsigned char* piece = nullptr;
  if (takeContentPiece(launcherReader, count, scratch, &piece) != PayloadStatus::ok) {
    fatalError("Error, couldn't decode attached data.");
  }
  return piece;
}

void closePayloadReader() { endPayloadReader(launcherReader); }

PayloadReader& launcherPayloadReader() { return launcherReader; }
