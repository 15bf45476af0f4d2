#include "progress/progress_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string line(size_t width, const char16_t* text, uint64_t done, uint64_t total) {
  Utf16Unit out[kProgressLineCapacity];
  const size_t length = formatProgressLine(out, width, text, done, total);
  EXPECT_EQ(out[length], 0);
  EXPECT_LT(length, width == 0 ? 1 : width);
  return std::u16string(out, length);
}

TEST(ProgressLine, TextPercentAndMegabytesCutNotRounded) {
  EXPECT_EQ(line(80, u"Preparing App for its first start", 166'399'999, 396'000'000),
            u"Preparing App for its first start: 42% (166.3 of 396.0 MB)");
  EXPECT_EQ(line(80, u"", 0, 0), u"0% (0.0 of 0.0 MB)");
  EXPECT_EQ(line(80, u"x", 999'999, 1'000'000), u"x: 99% (0.9 of 1.0 MB)");
  EXPECT_EQ(line(80, u"x", 5, 3), u"x: 100% (0.0 of 0.0 MB)") << "never more than the total";
  EXPECT_EQ(line(80, u"a\tb\r\nc\x7f", 0, 1), u"a b  c : 0% (0.0 of 0.0 MB)");
}

TEST(ProgressLine, FitsTheConsoleWidthOrShowsNothing) {
  const char16_t* const text = u"Preparing App for its first start";
  const std::u16string figures = u"42% (166.4 of 396.0 MB)";  // 23 units
  const uint64_t done = 166'400'000, total = 396'000'000;
  // The whole line is 58 units: it fits a width of 59, not 58.
  EXPECT_EQ(line(59, text, done, total).size(), 58u);
  EXPECT_EQ(line(58, text, done, total), u"Preparing App for its first s...: " + figures);
  // Room for the figures and too little text to be worth it: figures alone.
  EXPECT_EQ(line(29, text, done, total), figures);
  EXPECT_EQ(line(30, text, done, total), u"P...: " + figures);
  EXPECT_EQ(line(24, text, done, total), figures);
  EXPECT_EQ(line(23, text, done, total), u"");
  EXPECT_EQ(line(0, text, done, total), u"");
  // Never past the buffer, however wide the console.
  const std::u16string wide(2000, u'w');
  EXPECT_EQ(line(30000, wide.c_str(), done, total).size(), kProgressLineCapacity - 1);
  // A cut never splits a surrogate pair.
  EXPECT_EQ(line(32, u"ab\U0001F600cdef", done, total), u"ab...: " + figures);
}

}  // namespace
