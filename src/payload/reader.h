// Streaming reader of the decoded entry list. It decodes on demand into one
// block of kDecodedBlockSize bytes and copies from there straight into the
// caller's destination, so memory does not grow with the payload.
//
// Two faces over one implementation: PayloadReader reports failures to its
// caller (the packing tool's list, verify and extract); openPayloadReader,
// readPayload and closePayloadReader drive the launcher's single reader and
// end the process on failure. Pieces of contents can also be taken where
// they lie in the block, uncopied (takeContentPiece).
#pragma once
#include <zstd.h>

#include <cstddef>
#include <cstdint>

enum class PayloadStatus { ok, outOfMemory, decodeFailed };

struct PayloadReader {
  // Between decoder calls, output.size is the block's fill level and
  // output.pos the cursor of bytes already handed out.
  ZSTD_inBuffer input;
  ZSTD_outBuffer output;
  ZSTD_DCtx* context;
  unsigned char* decodedBlock;
};

// Allocates the block, then the decompression context; decodes nothing.
// `input` points past the header and holds `inputLength` bytes: the frame
// and the trailer. On outOfMemory whatever was allocated stays allocated;
// endPayloadReader releases it.
PayloadStatus beginPayloadReader(PayloadReader& reader, const unsigned char* input,
                                 uint64_t inputLength);

// Copies exactly `count` (at least 1) decoded bytes to `destination`, or
// reports decodeFailed when the decoder rejects the input or the input runs
// out. After decodeFailed every later request fails as well.
PayloadStatus takePayload(PayloadReader& reader, void* destination, size_t count);

// Takes the next `count` bytes (1 to kContentChunkSize) of an entry's
// contents, as takePayload would, and points `*piece` at them: where they lie
// whole in the decoded block, there, copying nothing; where they run past the
// block's end, in `scratch` (kContentChunkSize bytes), where they are
// gathered. The piece stays valid until the next request.
PayloadStatus takeContentPiece(PayloadReader& reader, size_t count, unsigned char* scratch,
                               const unsigned char** piece);

// Releases the context and then the block. Safe on a reader that failed to
// begin.
void endPayloadReader(PayloadReader& reader);

// The launcher's reader: "Error, couldn't allocate memory." or "Error,
// couldn't decode attached data." end the process with status 2.
void openPayloadReader(const unsigned char* input, uint64_t inputLength);
void readPayload(void* destination, size_t count);
// takeContentPiece on the launcher's reader; returns the piece.
const unsigned char* readContentPiece(size_t count, unsigned char* scratch);
void closePayloadReader();
// The launcher's single reader, for decoders built on takePayload.
PayloadReader& launcherPayloadReader();
