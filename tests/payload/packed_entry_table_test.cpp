#include "payload/packed_entry_table.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include <string>

#include "pack/entry_table_writer.h"
#include "pack_in_memory.h"
#include "test_data.h"

namespace {

// The table of an application whose names repeat their folders, as real ones do.
std::vector<unsigned char> tableOfManyFiles() {
  std::vector<TestEntry> entries = {{u"app.exe", patternedBytes(3000, 1)}};
  for (int i = 0; i < 400; ++i) {
    const std::string name = "lib\\site-packages\\package" + std::to_string(i / 20) +
                             "\\submodule\\module_" + std::to_string(i) + ".py";
    entries.push_back({std::u16string(name.begin(), name.end()), patternedBytes(40, i)});
  }
  std::string error;
  std::vector<unsigned char> table;
  EXPECT_FALSE(packInMemory(entries, {3, 0, 0}, 65536, error, &table).empty()) << error;
  return table;
}

TEST(PackedEntryTable, DecodesToTheTableItPackedAndRefusesEveryOtherFrame) {
  const std::vector<unsigned char> table = tableOfManyFiles();
  const std::vector<unsigned char> packed = packEntryTable(table, 19);
  EXPECT_EQ(packEntryTable(table, 19), packed);
  EXPECT_LT(packed.size() * 4, table.size()) << "names should pack well";

  ASSERT_EQ(packedEntryTableLength(packed.data(), packed.size()), table.size());
  std::vector<unsigned char> plain(table.size());
  ASSERT_TRUE(unpackEntryTable(packed.data(), packed.size(), plain.data(), plain.size()));
  EXPECT_EQ(plain, table);

  const auto refused = [&](const char* what, const std::vector<unsigned char>& stored) {
    std::vector<unsigned char> out(table.size());
    const uint64_t length = packedEntryTableLength(stored.data(), stored.size());
    EXPECT_TRUE(length == 0 || !unpackEntryTable(stored.data(), stored.size(), out.data(),
                                                 static_cast<size_t>(length)))
        << what;
  };
  for (const size_t at : {packed.size() / 2, packed.size() - 1}) {
    std::vector<unsigned char> flipped = packed;
    flipped[at] ^= 0x10;
    refused("a flipped byte", flipped);
  }
  refused("cut short", std::vector<unsigned char>(packed.begin(), packed.end() - 1));
  std::vector<unsigned char> longer = packed;
  longer.push_back(0);
  refused("a byte after the frame", longer);
  std::vector<unsigned char> unchecked(ZSTD_compressBound(table.size()));
  unchecked.resize(
      ZSTD_compress(unchecked.data(), unchecked.size(), table.data(), table.size(), 3));
  refused("a frame without its checksum", unchecked);
  refused("the plain table", table);
  // The length given must be the one declared: no partial decoding.
  std::vector<unsigned char> shorter(table.size() - 1);
  EXPECT_FALSE(unpackEntryTable(packed.data(), packed.size(), shorter.data(), shorter.size()));
}

}  // namespace
