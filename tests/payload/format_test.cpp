#include "payload/format.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(Checksum, ZeroCrcIsStoredAsOne) {
  EXPECT_EQ(contentChecksum("", 0), 1u);
  EXPECT_EQ(contentChecksum("123456789", 9), 0xCBF43926u);
}

// zlib's crc32 is the reference the checksum rule was written against.
// libdeflate's CRC changes its method at 16 and 1,024 bytes and works in steps
// of 16 to 128 bytes from a 16-byte aligned address, so lengths around those
// and every start modulo 16 are the ones to cover.
TEST(Checksum, EqualsZlibsCrcOverAnyLengthStartAndPieces) {
  std::mt19937 random(22);
  std::vector<unsigned char> bytes((4 << 20) + 64);
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(random());
  const auto zlibCrc = [](uint32_t crc, const unsigned char* data, size_t length) {
    return static_cast<uint32_t>(crc32_z(crc, data, length));
  };

  std::vector<size_t> lengths = {0,    1,    2,    3,     7,     8,       15,     16,
                                 17,   31,   32,   33,    63,    64,      65,     127,
                                 128,  129,  255,  256,   257,   1023,    1024,   1025,
                                 4095, 4096, 4097, 65535, 65536, 1 << 20, 4 << 20};
  for (int i = 0; i < 40; ++i) lengths.push_back(random() % (size_t{1} << (random() % 23)));
  for (const size_t length : lengths) {
    for (size_t start = 0; start < (length < 65536 ? 16u : 2u); ++start) {
      const unsigned char* data = bytes.data() + start * 7 % 64;
      const uint32_t crc = extendCrc(0, data, length);
      ASSERT_EQ(crc, zlibCrc(0, data, length)) << length << " from " << start;
      ASSERT_EQ(extendCrc(crc, data, length), zlibCrc(crc, data, length)) << length;
    }
  }

  // Pieces of every size, empty ones (an empty vector's null data) among them.
  const size_t total = 3 << 20;
  for (int round = 0; round < 8; ++round) {
    uint32_t crc = 0;
    for (size_t done = 0; done < total;) {
      crc = extendCrc(crc, nullptr, 0);
      const size_t piece =
          std::min(total - done, static_cast<size_t>(random() % (size_t{2} << (random() % 18))));
      crc = extendCrc(crc, bytes.data() + 1 + done, piece);
      done += piece;
    }
    ASSERT_EQ(crc, zlibCrc(0, bytes.data() + 1, total)) << round;
  }
}

TEST(Trailer, HoldsItsOwnOffsetBetweenThreeZeroBytes) {
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, 90045642);
  EXPECT_EQ(loadU64(trailer + 3), 0x55dfcd0u);
  for (int i : {0, 1, 2, 11, 12, 13}) EXPECT_EQ(trailer[i], 0) << i;
}

const char* nameFault(const std::u16string& name) {
  return entryNameFault(name.data(), name.size());
}

TEST(EntryName, RelativeFilePathsBelowTheTargetDirectory) {
  for (const std::u16string name : {u"a", u"Quolvenarix.exe", u"lib\\sub\\x.dll", u"..a", u"a..",
                                    u"...", u".hidden", u"\u00e9\u4e2d"}) {
    EXPECT_EQ(nameFault(name), nullptr);
  }
  EXPECT_EQ(nameFault(std::u16string(1023, u'n')), nullptr);
  EXPECT_STREQ(nameFault(u""), "the name is empty");
  EXPECT_STREQ(nameFault(std::u16string(1024, u'n')), "the name is longer than 1023 UTF-16 units");
  EXPECT_STREQ(nameFault(std::u16string(u"a\0b", 3)), "the name holds a zero unit");
  for (const std::u16string name : {u"\\a", u"a\\", u"a\\\\b", u"\\"}) {
    EXPECT_STREQ(nameFault(name), "the name has an empty path component");
  }
  for (const std::u16string name : {u".", u"..", u"a\\..\\b", u"a\\.", u"..\\x"}) {
    EXPECT_STREQ(nameFault(name), "the name has a \".\" or \"..\" path component");
  }
  for (const std::u16string name : {u"C:x", u"a/b", u"a<", u"a>", u"\"", u"|", u"?", u"*"}) {
    EXPECT_STREQ(nameFault(name), "the name holds one of < > : \" / | ? *");
  }
  EXPECT_STREQ(nameFault(u"a\tb"), "the name holds a control character");
}

}  // namespace
