// ZSTD_getFrameHeader, to look at the window the frame asks for.
#define ZSTD_STATIC_LINKING_ONLY
#include "pack/writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "entry_walk.h"
#include "pack_in_memory.h"
#include "payload/format.h"
#include "test_data.h"

namespace {

std::vector<unsigned char> pack(const std::vector<TestEntry>& entries,
                                WriterSettings settings = {3, 0}, size_t pieceSize = 65536) {
  std::string error;
  std::vector<unsigned char> data = packInMemory(entries, settings, pieceSize, error);
  EXPECT_FALSE(data.empty()) << error;
  return data;
}

void expectRoundTrip(const std::vector<TestEntry>& entries) {
  const std::vector<unsigned char> data = pack(entries);
  ASSERT_FALSE(data.empty());
  const WalkResult walk = walkEntries(data.data(), data.size());
  ASSERT_EQ(walk.outcome, WalkOutcome::complete);
  ASSERT_EQ(walk.entries.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const WalkedEntry& got = walk.entries[i];
    EXPECT_TRUE(got.name == entries[i].name) << "entry " << i;
    EXPECT_EQ(got.size, entries[i].contents.size()) << "entry " << i;
    EXPECT_EQ(got.checksum, contentChecksum(entries[i].contents.data(), got.contents.size()));
    EXPECT_TRUE(got.contents == entries[i].contents) << "entry " << i;
  }
}

TEST(WriterRoundTrip, EmptyListIsTheEndOfListEntryAlone) {
  const std::vector<unsigned char> data = pack({});
  ASSERT_FALSE(data.empty());
  const unsigned long long decoded = ZSTD_getFrameContentSize(data.data() + 3, data.size() - 3);
  if (decoded != ZSTD_CONTENTSIZE_UNKNOWN) {
    EXPECT_EQ(decoded, 2u);
  }
  expectRoundTrip({});
}

TEST(WriterRoundTrip, EmptyFilesAndNamesOfOneAndOfMostUnits) {
  expectRoundTrip({{u"a", ""}, {u"b", "x"}, {u"dir\\empty", ""}});
  expectRoundTrip({{std::u16string(1023, u'n'), "long"}, {u"z", ""}});
  // Units beyond ASCII, a surrogate pair among them, keep their order and
  // byte order.
  expectRoundTrip({{u"\u00e9t\u00e9\\\u4e2d\U0001F600.txt", "unicode"}});
}

TEST(WriterRoundTrip, ContentsEndingAtAndAroundChunkAndBlockEnds) {
  for (const size_t boundary : {kContentChunkSize, kDecodedBlockSize, 2 * kDecodedBlockSize}) {
    for (const int shift : {-1, 0, 1}) {
      SCOPED_TRACE(testing::Message() << boundary << " " << shift);
      // The file's own size at the boundary...
      expectRoundTrip({{u"f", patternedBytes(boundary + shift, 1)}, {u"g", "next"}});
      // ...and its last byte at that offset of the decoded stream, after the
      // first entry's 2 + 2 name bytes, 8 size bytes and 4 checksum bytes.
      expectRoundTrip({{u"f", patternedBytes(boundary + shift - 16, 2)}, {u"g", "next"}});
    }
  }
}

TEST(WriterRoundTrip, FileOfManyBlocksAmongOthers) {
  expectRoundTrip({{u"app.exe", patternedBytes(9 * kDecodedBlockSize + 77, 3)},
                   {u"lib\\data.bin", patternedBytes(1000, 4)},
                   {u"lib\\zero", std::string(3 * kDecodedBlockSize, '\0')}});
}

TEST(WriterLayout, HeaderFrameAndTrailerWithTheFramesLength) {
  const std::vector<unsigned char> data = pack({{u"a", patternedBytes(5000, 5)}});
  ASSERT_GT(data.size(), 17u);
  EXPECT_EQ(std::string(data.begin(), data.begin() + 3), "RUQ");
  const size_t frameLength = ZSTD_findFrameCompressedSize(data.data() + 3, data.size() - 3);
  ASSERT_FALSE(ZSTD_isError(frameLength));
  EXPECT_EQ(data.size(), 17 + frameLength);
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, frameLength);
  EXPECT_TRUE(std::equal(trailer, trailer + kAttachedTrailerSize, data.end() - 14));
}

TEST(WriterLayout, WindowNeverExceedsWhatTheDecoderAccepts) {
  for (const WriterSettings settings :
       {WriterSettings{1, 0}, WriterSettings{19, 0}, WriterSettings{19, 2}}) {
    const std::vector<unsigned char> data = pack({{u"a", patternedBytes(300000, 6)}}, settings);
    ZSTD_frameHeader header;
    ASSERT_EQ(ZSTD_getFrameHeader(&header, data.data() + 3, data.size() - 3), 0u);
    EXPECT_LE(header.windowSize, uint64_t{1} << kMaxWindowLog) << settings.level;
    EXPECT_FALSE(header.checksumFlag);
  }
}

TEST(WriterDeterminism, SameEntriesGiveSameBytesWhateverThePieces) {
  const std::vector<TestEntry> entries = {{u"a", patternedBytes(3 << 20, 7)},
                                          {u"b\\c", patternedBytes(70000, 8)}};
  for (const int threads : {0, 2}) {
    SCOPED_TRACE(threads);
    // Level 1 cuts jobs of 2 MiB, so two workers share this input.
    const WriterSettings settings{1, threads};
    const std::vector<unsigned char> first = pack(entries, settings, 1 << 20);
    EXPECT_EQ(pack(entries, settings, 1 << 20), first);
    EXPECT_EQ(pack(entries, settings, 4093), first);
  }
}

TEST(WriterRefuses, BadNamesSizesAndChecksums) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  std::string error;
  const auto fresh = [&](AttachedDataWriter& writer) {
    ASSERT_TRUE(writer.open(out, {1, 0}, error)) << error;
  };
  {
    AttachedDataWriter writer;
    fresh(writer);
    EXPECT_FALSE(writer.beginEntry(u"..\\evil", 0, 1, error));
    EXPECT_EQ(error, "the name has a \".\" or \"..\" path component");
    // Nothing goes on after a failure.
    EXPECT_FALSE(writer.finish(error));
    EXPECT_EQ(error, "cannot finish: an earlier step failed");
  }
  {
    AttachedDataWriter writer;
    fresh(writer);
    EXPECT_FALSE(writer.beginEntry(u"a", 0, 0, error)) << "checksum 0 describes no contents";
  }
  {
    AttachedDataWriter writer;
    fresh(writer);
    ASSERT_TRUE(writer.beginEntry(u"a", 3, contentChecksum("abc", 3), error));
    ASSERT_TRUE(writer.addContents("ab", 2, error));
    EXPECT_FALSE(writer.addContents("cd", 2, error)) << "more bytes than the size";
  }
  {
    AttachedDataWriter writer;
    fresh(writer);
    ASSERT_TRUE(writer.beginEntry(u"a", 3, contentChecksum("abc", 3), error));
    ASSERT_TRUE(writer.addContents("ab", 2, error));
    EXPECT_FALSE(writer.endEntry(error));
    EXPECT_EQ(error, "the entry got 2 of its 3 bytes");
  }
  {
    AttachedDataWriter writer;
    fresh(writer);
    ASSERT_TRUE(writer.beginEntry(u"a", 3, contentChecksum("abc", 3), error));
    ASSERT_TRUE(writer.addContents("abd", 3, error));
    EXPECT_FALSE(writer.endEntry(error));
    EXPECT_EQ(error, "the entry's contents do not match its checksum");
  }
  {
    AttachedDataWriter writer;
    fresh(writer);
    ASSERT_TRUE(writer.beginEntry(u"a", 1, contentChecksum("a", 1), error));
    EXPECT_FALSE(writer.finish(error)) << "finish inside an entry";
  }
  {
    AttachedDataWriter writer;
    EXPECT_FALSE(writer.open(out, {ZSTD_maxCLevel() + 1, 0}, error));
  }
  std::fclose(out);
}

TEST(WriterOutput, FailedWriteIsReported) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  const std::string contents = patternedBytes(1 << 20, 9);
  AttachedDataWriter writer;
  std::string error;
  bool ok = writer.open(full, {1, 0}, error) &&
            writer.beginEntry(u"a", contents.size(),
                              contentChecksum(contents.data(), contents.size()), error) &&
            writer.addContents(contents.data(), contents.size(), error) && writer.endEntry(error) &&
            writer.finish(error);
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  std::fclose(full);
}

TEST(WriterAddFile, PacksAFileFromDiskAndNamesAMissingOne) {
  char path[] = "/tmp/tavmor-writer-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string contents = patternedBytes(400000, 10);
  ASSERT_EQ(write(fd, contents.data(), contents.size()), ssize_t(contents.size()));
  close(fd);

  char* buffer = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&buffer, &length);
  std::string error;
  {
    AttachedDataWriter writer;
    ASSERT_TRUE(writer.open(out, {3, 0}, error));
    ASSERT_TRUE(writer.addFile(u"bin\\tool", path, error)) << error;
    EXPECT_EQ(writer.bytesIn(), 2u * 9 + 12 + contents.size());
    ASSERT_TRUE(writer.finish(error)) << error;
    EXPECT_EQ(writer.bytesIn(), 2u * 9 + 12 + contents.size() + 2);
    EXPECT_EQ(writer.bytesWritten(), length);
    EXPECT_EQ(writer.frameLength() + 17, length);
  }
  std::fclose(out);
  const WalkResult walk = walkEntries(reinterpret_cast<const unsigned char*>(buffer), length);
  std::free(buffer);
  ASSERT_EQ(walk.outcome, WalkOutcome::complete);
  ASSERT_EQ(walk.entries.size(), 1u);
  EXPECT_TRUE(walk.entries[0].name == u"bin\\tool");
  EXPECT_TRUE(walk.entries[0].contents == contents);

  std::remove(path);
  std::FILE* sink = std::tmpfile();
  AttachedDataWriter writer;
  ASSERT_TRUE(writer.open(sink, {1, 0}, error));
  EXPECT_FALSE(writer.addFile(u"gone", path, error));
  EXPECT_EQ(error.rfind(path, 0), 0u) << error;
  std::fclose(sink);
}

}  // namespace
