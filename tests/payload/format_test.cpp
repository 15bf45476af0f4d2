#include "payload/format.h"

#include <gtest/gtest.h>

namespace {

TEST(Checksum, ZeroCrcIsStoredAsOne) {
  EXPECT_EQ(contentChecksum("", 0), 1u);
  EXPECT_EQ(contentChecksum("123456789", 9), 0xCBF43926u);
}

TEST(Trailer, HoldsItsOwnOffsetBetweenThreeZeroBytes) {
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, 90045642);
  EXPECT_EQ(loadU64(trailer + 3), 0x55dfcd0u);
  for (int i : {0, 1, 2, 11, 12, 13}) EXPECT_EQ(trailer[i], 0) << i;
}

}  // namespace
