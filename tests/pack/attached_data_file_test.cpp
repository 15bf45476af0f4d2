#include "attached_data_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pack_in_memory.h"
#include "payload/format.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes packed(const std::vector<TestEntry>& entries, int level = 3) {
  WriterSettings settings;
  settings.level = level;
  std::string error;
  Bytes data = packInMemory(entries, settings, 4096, error);
  EXPECT_EQ(error, "");
  return data;
}

TEST(LocateAttachedData, FindsRawDataAndDataInsideAnImage) {
  const Bytes data = packed({{u"app.exe", "MZ program"}});
  AttachedDataLocation found = locateAttachedData(data.data(), data.size());
  EXPECT_TRUE(found.found && found.trailerMatches);
  EXPECT_EQ(found.offset, 0u);
  EXPECT_EQ(found.inputLength, data.size() - 3);

  // Code before it, other read-only data and a signature after it.
  Bytes image(5000, 'R');
  const char decoy[] = "RUQ but no frame";
  image.insert(image.end(), decoy, decoy + sizeof decoy);
  image.insert(image.end(), data.begin(), data.end());
  image.insert(image.end(), 3000, 0);
  found = locateAttachedData(image.data(), image.size());
  EXPECT_TRUE(found.found && found.trailerMatches);
  EXPECT_EQ(found.offset, 5000 + sizeof decoy);
  EXPECT_EQ(found.inputLength, data.size() - 3);
}

TEST(LocateAttachedData, TakesTheOuterDataWhenAnotherLauncherIsPackedInside) {
  // Random contents do not compress, so the inner data, header and all, is
  // stored verbatim in the outer frame.
  std::string noise(50000, '\0');
  uint32_t state = 1;
  for (char& byte : noise) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  const Bytes inner = packed({{u"inner.exe", noise}});
  const Bytes outer = packed({{u"outer.exe", std::string(inner.begin(), inner.end())}});
  ASSERT_NE(std::search(outer.begin() + 1, outer.end(), inner.begin(), inner.begin() + 7),
            outer.end());
  Bytes image(100, 0);
  image.insert(image.end(), outer.begin(), outer.end());
  const AttachedDataLocation found = locateAttachedData(image.data(), image.size());
  EXPECT_TRUE(found.trailerMatches);
  EXPECT_EQ(found.offset, 100u);
  EXPECT_EQ(found.inputLength, outer.size() - 3);
}

TEST(LocateAttachedData, FallsBackToTheFirstHeaderWhenNoTrailerMatches) {
  Bytes data = packed({{u"app.exe", "program"}});
  data[data.size() - 5] ^= 1;  // inside the trailer's u64
  data.insert(data.begin(), 10, 0);
  const AttachedDataLocation found = locateAttachedData(data.data(), data.size());
  EXPECT_TRUE(found.found);
  EXPECT_FALSE(found.trailerMatches);
  EXPECT_EQ(found.offset, 10u);
  EXPECT_EQ(found.inputLength, data.size() - 13);

  const Bytes nothing = {'R', 'U', 'Q', 0x28, 0xB5, 0x2F};
  EXPECT_FALSE(locateAttachedData(nothing.data(), nothing.size()).found);
  EXPECT_FALSE(locateAttachedData(nothing.data(), 0).found);
}

}  // namespace
