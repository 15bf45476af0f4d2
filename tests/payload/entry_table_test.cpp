#include "payload/entry_table.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include "entry_walk.h"
#include "pack_in_memory.h"
#include "payload/format.h"
#include "test_data.h"

namespace {

struct Packed {
  std::vector<unsigned char> data, table;
  const unsigned char* input() const { return data.data() + kAttachedHeaderSize; }
  uint64_t inputLength() const { return data.size() - kAttachedHeaderSize; }
  const char* problem(EntryTableView& view) const {
    return entryTableProblem(table.data(), table.size(), inputLength(),
                             attachedDataEdgeCrc(input(), inputLength()), view);
  }
};

Packed pack(const std::vector<TestEntry>& entries, uint64_t frameSize = 0) {
  Packed packed;
  std::string error;
  packed.data = packInMemory(entries, {3, 0, frameSize}, 65536, error, &packed.table);
  EXPECT_FALSE(packed.data.empty()) << error;
  return packed;
}

// Recomputes the table's own checksum after a deliberate change, so that only
// the change is judged.
void resealTable(std::vector<unsigned char>& table) {
  storeU32(table.data() + table.size() - 4, extendCrc(0, table.data(), table.size() - 4));
}

TEST(EntryTable, ListsEachEntryWhereTheDecodedStreamHoldsIt) {
  const std::vector<TestEntry> entries = {{u"app.exe", patternedBytes(200000, 1)},
                                          {u"empty.txt", ""},
                                          {u"a\\b\\deep.bin", patternedBytes(70000, 2)}};
  const Packed packed = pack(entries);
  EntryTableView view;
  ASSERT_EQ(packed.problem(view), nullptr);
  ASSERT_EQ(view.entryCount, entries.size());

  std::vector<unsigned char> decoded(view.decodedLength);
  const size_t frame = packed.inputLength() - kAttachedTrailerSize;
  ASSERT_EQ(ZSTD_decompress(decoded.data(), decoded.size(), packed.input(), frame),
            view.decodedLength);
  uint64_t contents = 0;
  for (uint32_t i = 0; i < view.entryCount; ++i) {
    const TableEntry listed = tableEntry(view, i);
    EXPECT_EQ(std::u16string(listed.name, listed.nameLength), entries[i].name);
    EXPECT_EQ(listed.name[listed.nameLength], 0);
    ASSERT_EQ(listed.size, entries[i].contents.size());
    EXPECT_EQ(listed.checksum, contentChecksum(entries[i].contents.data(), listed.size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(decoded.data()) + listed.contentOffset,
                          listed.size),
              entries[i].contents);
    contents += listed.size;
  }
  EXPECT_EQ(view.contentBytes, contents);
}

TEST(EntryTable, FramesCutAtEntriesDecodeAloneAndAsOneStream) {
  // 100 KB frames: the two small files share one, the large ones get one
  // each, and the end of the list rides in the last.
  const std::vector<TestEntry> entries = {{u"app.exe", patternedBytes(150000, 4)},
                                          {u"a.txt", patternedBytes(30000, 5)},
                                          {u"b.txt", patternedBytes(30000, 6)},
                                          {u"c.bin", patternedBytes(250000, 7)}};
  const Packed packed = pack(entries, 100000);
  EntryTableView view;
  ASSERT_EQ(packed.problem(view), nullptr);
  ASSERT_EQ(view.frameCount, 3u);
  const uint32_t firsts[] = {0, 1, 3};
  for (uint32_t f = 0; f < view.frameCount; ++f) {
    const TableFrame frame = tableFrame(view, f);
    EXPECT_EQ(frame.firstEntry, firsts[f]);
    // Each frame decodes on its own to its part of the stream.
    const uint64_t end =
        f + 1 < view.frameCount ? tableFrame(view, f + 1).decodedOffset : view.decodedLength;
    std::vector<unsigned char> decoded(end - frame.decodedOffset + 1);
    EXPECT_EQ(ZSTD_decompress(decoded.data(), decoded.size(), packed.input() + frame.inputOffset,
                              frame.compressedLength),
              end - frame.decodedOffset)
        << "frame " << f;
  }
  // A streaming reader reads the frames one after the other as one list.
  const WalkResult walk = walkEntries(packed.data.data(), packed.data.size());
  ASSERT_EQ(walk.outcome, WalkOutcome::complete);
  ASSERT_EQ(walk.entries.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i)
    EXPECT_TRUE(walk.entries[i].contents == entries[i].contents);
}

TEST(EntryTable, IsTrustedOnlyWhenWholeAndWrittenForTheseAttachedData) {
  const Packed packed = pack({{u"app.exe", patternedBytes(9000, 3)}, {u"b.txt", "bee"}});
  EntryTableView view;
  ASSERT_EQ(packed.problem(view), nullptr);

  const auto damaged = [&](const char* what, auto change, bool reseal) {
    Packed copy = packed;
    change(copy);
    if (reseal) resealTable(copy.table);
    EXPECT_NE(copy.problem(view), nullptr) << what;
  };
  damaged(
      "a flipped byte", [](Packed& p) { p.table[60] ^= 1; }, false);
  damaged(
      "cut short", [](Packed& p) { p.table.resize(p.table.size() - 8); }, false);
  damaged(
      "a size that moves the next entry", [](Packed& p) { ++p.table[kEntryTableHeaderSize + 8]; },
      true);
  damaged(
      "a name running into the next", [](Packed& p) { ++p.table[kEntryTableHeaderSize + 24]; },
      true);
  damaged(
      "other attached data", [](Packed& p) { p.data[p.data.size() - 20] ^= 1; }, false);
  damaged(
      "another input length", [](Packed& p) { p.data.push_back(0); }, false);
}

}  // namespace
