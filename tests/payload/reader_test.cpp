#include "payload/reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "entry_walk.h"
#include "pack_in_memory.h"
#include "payload/format.h"
#include "test_data.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Zstd frames built by hand, for shapes the compressor does not make.
constexpr unsigned char kFrameMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
constexpr unsigned char kSkippableMagic[4] = {0x50, 0x2A, 0x4D, 0x18};
enum BlockType { raw = 0, reserved = 3 };

// A frame header with no content size, a window descriptor and no checksum.
Bytes frameHeader(unsigned char windowDescriptor) {
  Bytes frame(kFrameMagic, kFrameMagic + 4);
  frame.push_back(0x00);
  frame.push_back(windowDescriptor);
  return frame;
}
constexpr unsigned char kWindow128KiB = 7 << 3;  // 2^(10 + 7)

void appendBlock(Bytes& frame, BlockType type, bool last, const std::string& data) {
  const uint32_t size = static_cast<uint32_t>(data.size());
  const uint32_t header = (last ? 1 : 0) | type << 1 | size << 3;
  for (int i = 0; i < 3; ++i) frame.push_back(static_cast<unsigned char>(header >> (8 * i)));
  frame.insert(frame.end(), data.begin(), data.end());
}

// "RUQ", the frames, and a trailer for their length.
Bytes attached(const Bytes& frames) {
  Bytes data(kAttachedDataHeader, kAttachedDataHeader + 3);
  data.insert(data.end(), frames.begin(), frames.end());
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, frames.size());
  data.insert(data.end(), trailer, trailer + kAttachedTrailerSize);
  return data;
}

// The frame of `decoded` as the compressor streams it: window descriptor
// present, no content size.
Bytes compressedFrame(const std::string& decoded) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  Bytes frame(ZSTD_compressBound(decoded.size()) + 64);
  ZSTD_outBuffer output = {frame.data(), frame.size(), 0};
  ZSTD_inBuffer input = {decoded.data(), decoded.size(), 0};
  EXPECT_EQ(ZSTD_compressStream2(context, &output, &input, ZSTD_e_continue), 0u);
  ZSTD_inBuffer none = {nullptr, 0, 0};
  EXPECT_EQ(ZSTD_compressStream2(context, &output, &none, ZSTD_e_end), 0u);
  ZSTD_freeCCtx(context);
  frame.resize(output.pos);
  return frame;
}

std::string encodedEntry(const std::u16string& name, const std::string& contents) {
  std::string bytes;
  for (const char16_t unit : name) {
    bytes += static_cast<char>(unit);
    bytes += static_cast<char>(unit >> 8);
  }
  unsigned char fields[2 + 8 + 4] = {};
  storeU64(fields + 2, contents.size());
  storeU32(fields + 10, contentChecksum(contents.data(), contents.size()));
  return bytes + std::string(reinterpret_cast<char*>(fields), sizeof fields) + contents;
}
const std::string kEndOfList(2, '\0');

// A reader over its own copy of the attached data.
struct OpenReader {
  explicit OpenReader(Bytes attachedData) : data(std::move(attachedData)) {
    status = beginPayloadReader(reader, data.data() + 3, data.size() - 3);
  }
  ~OpenReader() { endPayloadReader(reader); }
  PayloadStatus take(std::string& into, size_t count) {
    std::string piece(count, '\0');
    const PayloadStatus result = takePayload(reader, piece.data(), count);
    if (result == PayloadStatus::ok) into += piece;
    return result;
  }
  const Bytes data;
  PayloadReader reader;
  PayloadStatus status;
};

TEST(Reader, OpeningDecodesNothing) {
  const Bytes data = attached(Bytes{'n', 'o', 't', ' ', 'z', 's', 't', 'd'});
  OpenReader open(data);
  ASSERT_EQ(open.status, PayloadStatus::ok);
  EXPECT_EQ(open.reader.input.pos, 0u);
  EXPECT_EQ(open.reader.input.size, data.size() - 3);
  EXPECT_EQ(open.reader.output.size, 0u);
  std::string got;
  EXPECT_EQ(open.take(got, 1), PayloadStatus::decodeFailed);
}

TEST(Reader, RequestsOfAnySizeSpanningBlockEndsGetTheStreamInOrder) {
  const std::string decoded = patternedBytes(3 * kDecodedBlockSize + 1234, 20);
  const Bytes data = attached(compressedFrame(decoded));
  OpenReader open(data);
  std::string got;
  ASSERT_EQ(open.take(got, kDecodedBlockSize - 3), PayloadStatus::ok);
  // The first call filled the block; the next request takes its last 3 bytes
  // and the first 5 of the next block.
  ASSERT_EQ(open.reader.output.size, kDecodedBlockSize);
  ASSERT_EQ(open.take(got, 8), PayloadStatus::ok);
  EXPECT_EQ(open.reader.output.pos, 5u);
  // Then odd sizes, one request larger than a whole block among them.
  for (size_t count = 1; got.size() < decoded.size(); count = count * 7 + 3) {
    const size_t left = decoded.size() - got.size();
    ASSERT_EQ(open.take(got, count < left ? count : left), PayloadStatus::ok);
  }
  EXPECT_TRUE(got == decoded);
}

TEST(Reader, ContentPiecesLieInTheBlockUnlessTheyRunPastItsEnd) {
  const std::string decoded = patternedBytes(3 * kDecodedBlockSize + 1234, 21);
  const Bytes data = attached(compressedFrame(decoded));
  OpenReader open(data);
  std::string got;
  ASSERT_EQ(open.take(got, 100), PayloadStatus::ok);
  unsigned char scratch[kContentChunkSize];
  size_t gathered = 0;
  while (got.size() < decoded.size()) {
    const size_t left = decoded.size() - got.size();
    const size_t count = left < kContentChunkSize ? left : kContentChunkSize;
    const size_t before = open.reader.output.size - open.reader.output.pos;
    const unsigned char* piece = nullptr;
    ASSERT_EQ(takeContentPiece(open.reader, count, scratch, &piece), PayloadStatus::ok);
    // An empty block is decoded afresh, so the piece lies in it whole.
    if (before == 0 || before >= count) {
      EXPECT_EQ(piece, open.reader.decodedBlock + open.reader.output.pos - count);
    } else {
      EXPECT_EQ(piece, scratch);
      ++gathered;
    }
    got.append(reinterpret_cast<const char*>(piece), count);
  }
  EXPECT_TRUE(got == decoded);
  EXPECT_EQ(gathered, 3u);  // one piece across each block's end
  const unsigned char* piece = nullptr;
  EXPECT_EQ(takeContentPiece(open.reader, 1, scratch, &piece), PayloadStatus::decodeFailed);
}

TEST(Reader, CallsThatProduceNothingAreFollowedByAnotherCall) {
  const std::string list = encodedEntry(u"a", "contents") + kEndOfList;
  Bytes emptyRawBlocks = frameHeader(kWindow128KiB);
  appendBlock(emptyRawBlocks, raw, false, "");
  appendBlock(emptyRawBlocks, raw, false, list.substr(0, 5));
  appendBlock(emptyRawBlocks, raw, false, "");
  appendBlock(emptyRawBlocks, raw, true, list.substr(5));
  Bytes emptyFrame = frameHeader(kWindow128KiB);
  appendBlock(emptyFrame, raw, true, "");
  Bytes skippable(kSkippableMagic, kSkippableMagic + 4);
  skippable.insert(skippable.end(), {3, 0, 0, 0, 'x', 'y', 'z'});

  for (const Bytes& before : {skippable, emptyFrame}) {
    Bytes frames = before;
    frames.insert(frames.end(), emptyRawBlocks.begin(), emptyRawBlocks.end());
    const Bytes data = attached(frames);
    {
      // The premise: the decoder's first call consumes input and produces
      // nothing.
      ZSTD_DCtx* context = ZSTD_createDCtx();
      unsigned char block[kDecodedBlockSize];
      ZSTD_outBuffer output = {block, sizeof block, 0};
      ZSTD_inBuffer input = {data.data() + 3, data.size() - 3, 0};
      ASSERT_FALSE(ZSTD_isError(ZSTD_decompressStream(context, &output, &input)));
      EXPECT_EQ(output.pos, 0u);
      EXPECT_GT(input.pos, 0u);
      ZSTD_freeDCtx(context);
    }
    const WalkResult walk = walkEntries(data.data(), data.size());
    ASSERT_EQ(walk.outcome, WalkOutcome::complete);
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_EQ(walk.entries[0].contents, "contents");
  }
}

TEST(Reader, RequestBeyondTheContentFailsAndStaysFailed) {
  const std::string decoded = patternedBytes(kDecodedBlockSize + 100, 21);
  const Bytes frame = compressedFrame(decoded);
  for (const size_t firstRequest : {decoded.size(), size_t{100}}) {
    OpenReader open(attached(frame));
    std::string got;
    ASSERT_EQ(open.take(got, firstRequest), PayloadStatus::ok);
    while (got.size() < decoded.size()) {
      ASSERT_EQ(open.take(got, std::min<size_t>(1000, decoded.size() - got.size())),
                PayloadStatus::ok);
    }
    EXPECT_TRUE(got == decoded);
    // The trailer reaches the decoder as the start of another frame.
    EXPECT_EQ(open.take(got, 1), PayloadStatus::decodeFailed);
    EXPECT_EQ(open.take(got, 1), PayloadStatus::decodeFailed);
  }
  // A single request for one byte more than there is.
  OpenReader open(attached(frame));
  std::string got;
  EXPECT_EQ(open.take(got, decoded.size() + 1), PayloadStatus::decodeFailed);
  EXPECT_EQ(open.take(got, 1), PayloadStatus::decodeFailed);
}

TEST(Reader, InputThatRunsOutFails) {
  const std::string decoded = patternedBytes(50000, 22);
  const Bytes frame = compressedFrame(decoded);
  // Without a trailer the decoder has spent its input when the frame ends.
  Bytes data(kAttachedDataHeader, kAttachedDataHeader + 3);
  data.insert(data.end(), frame.begin(), frame.end());
  {
    OpenReader open(data);
    std::string got;
    ASSERT_EQ(open.take(got, decoded.size()), PayloadStatus::ok);
    EXPECT_EQ(open.take(got, 1), PayloadStatus::decodeFailed);
  }
  // A frame cut short.
  data.resize(data.size() - 10);
  OpenReader open(data);
  std::string got;
  EXPECT_EQ(open.take(got, decoded.size()), PayloadStatus::decodeFailed);
}

TEST(Reader, WindowAboveTwoToTheTwentySevenIsRejectedOnTheFirstRequest) {
  Bytes frame = compressedFrame(patternedBytes(1000, 23));
  ASSERT_EQ(frame[4], 0x00) << "a window descriptor follows the frame header descriptor";
  const auto firstRequest = [&](unsigned char windowDescriptor) {
    frame[5] = windowDescriptor;
    OpenReader open(attached(frame));
    EXPECT_EQ(open.status, PayloadStatus::ok);
    std::string got;
    return open.take(got, 2);
  };
  EXPECT_EQ(firstRequest(17 << 3), PayloadStatus::ok);                // 2^27
  EXPECT_EQ(firstRequest(17 << 3 | 1), PayloadStatus::decodeFailed);  // 2^27 + 2^24
  EXPECT_EQ(firstRequest(18 << 3), PayloadStatus::decodeFailed);      // 2^28
}

TEST(Reader, TrailerBytesAreNeverLookedAt) {
  const std::vector<TestEntry> entries = {{u"a", patternedBytes(200000, 24)}, {u"b", "x"}};
  std::string error;
  Bytes data = packInMemory(entries, {3, 0}, 65536, error);
  ASSERT_FALSE(data.empty()) << error;
  for (size_t i = data.size() - kAttachedTrailerSize; i < data.size(); ++i) data[i] = 0xA5;
  const WalkResult walk = walkEntries(data.data(), data.size());
  ASSERT_EQ(walk.outcome, WalkOutcome::complete);
  ASSERT_EQ(walk.entries.size(), 2u);
  EXPECT_TRUE(walk.entries[0].contents == entries[0].contents);
}

TEST(Reader, NothingAfterTheEndOfListEntryIsRead) {
  // The list ends inside the first of two raw blocks that fill more than one
  // decoded block; a block of the reserved type follows, which the decoder
  // rejects as soon as it reaches it.
  const std::string list = encodedEntry(u"a", patternedBytes(1000, 25)) + kEndOfList;
  Bytes frame = frameHeader(kWindow128KiB);
  appendBlock(frame, raw, false, list + std::string(100000 - list.size(), 'p'));
  appendBlock(frame, raw, false, std::string(100000, 'q'));
  appendBlock(frame, reserved, true, "");
  const Bytes data = attached(frame);
  const WalkResult walk = walkEntries(data.data(), data.size());
  EXPECT_EQ(walk.outcome, WalkOutcome::complete);
  // The premise: reading on reaches the reserved block and fails.
  OpenReader open(data);
  std::string got;
  EXPECT_EQ(open.take(got, 2 * 131072), PayloadStatus::decodeFailed);
}

TEST(ReaderDeathTest, LauncherReaderEndsTheProcessWithTheDecodeMessage) {
  const Bytes data = attached(compressedFrame("abc"));
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        openPayloadReader(data.data() + 3, data.size() - 3);
        unsigned char buffer[4];
        readPayload(buffer, 3);
        readPayload(buffer, 1);
      },
      testing::ExitedWithCode(2), "^Error, couldn't decode attached data\\.\n$");
}

}  // namespace
