#include "default_icon.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

uint32_t u32At(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(DefaultIcon, IsAStableIconFileOfSevenImagesThatFillIt) {
  const std::string icon = defaultIconFile();
  EXPECT_EQ(icon, defaultIconFile());
  ASSERT_GE(icon.size(), 6u + 7 * 16);
  EXPECT_EQ(icon.substr(0, 6), std::string("\0\0\1\0\7\0", 6));
  size_t expectedOffset = 6 + 7 * 16;
  const int sizes[] = {16, 20, 24, 32, 40, 48, 256};
  for (int i = 0; i < 7; ++i) {
    const size_t entry = 6 + 16 * i;
    EXPECT_EQ(static_cast<unsigned char>(icon[entry]), sizes[i] % 256);
    const uint32_t length = u32At(icon, entry + 8);
    const uint32_t offset = u32At(icon, entry + 12);
    EXPECT_EQ(offset, expectedOffset);
    if (sizes[i] == 256) {
      EXPECT_EQ(icon.substr(offset, 8), "\x89PNG\r\n\x1a\n");
    } else {
      EXPECT_EQ(u32At(icon, offset), 40u);  // bitmap header size
      EXPECT_EQ(u32At(icon, offset + 8), static_cast<uint32_t>(sizes[i] * 2));  // with the mask
    }
    expectedOffset += length;
  }
  EXPECT_EQ(expectedOffset, icon.size());
}

}  // namespace
