#include "target/time_and_random.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string randomString(uint32_t seed) {
  Utf16Unit text[kStableValueCapacity];
  makeRandomString(seed, text);
  return text;
}

std::u16string microseconds(int64_t fileTime) {
  Utf16Unit text[kStableValueCapacity];
  formatMicroseconds(fileTime, text);
  return text;
}

TEST(RandomString, ElevenBase64UrlCharactersFromXorshift) {
  EXPECT_EQ(randomString(1), u"IQHFT9HQGrI");
  EXPECT_EQ(randomString(2), u"QgKCBhojWbY");
  EXPECT_EQ(randomString(0x12345678), u"paPEmIhNHSk");
  // Both ends of the alphabet, and a first byte of zero.
  EXPECT_EQ(randomString(0xFFFFFFFF), u"H_9D2pHssPs");
  EXPECT_EQ(randomString(0x80000000), u"AIRIlEGeIMI");
  // Zero would leave the generator at zero forever.
  EXPECT_EQ(randomString(0), u"IQHFT9HQGrI");
}

TEST(RandomSeed, FoldsAllInputsAndIsNeverZero) {
  EXPECT_EQ(randomSeedOf(0x0000000100000002, 0x0000000400000008, 0x10), 0x1Fu);
  EXPECT_EQ(randomSeedOf(0x1234, 0, 0x1234), 1u);
}

TEST(TimeFormats, StartTimeInDecimalAndMicrosecondsInSixDigits) {
  Utf16Unit start[kStableValueCapacity];
  formatStartTime(133000000000000000, start);
  EXPECT_EQ(std::u16string(start), u"133000000000000000");
  formatStartTime(0, start);
  EXPECT_EQ(std::u16string(start), u"0");

  // 42 microseconds (420 intervals, plus 9 that truncate) into a second.
  EXPECT_EQ(microseconds(133000000000000429), u"000042");
  EXPECT_EQ(microseconds(133000000009999999), u"999999");
  EXPECT_EQ(microseconds(133000000010000000), u"000000");
}

}  // namespace
