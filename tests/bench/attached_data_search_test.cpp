#include "attached_data_search.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A streamed frame: its size is unknown up front, so the window stays at
// 2^windowLog and the header carries a window descriptor.
Bytes frameOf(const std::string& contents, int windowLog) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
  Bytes frame(ZSTD_compressBound(contents.size()) + 64);
  ZSTD_inBuffer input = {contents.data(), contents.size(), 0};
  ZSTD_outBuffer output = {frame.data(), frame.size(), 0};
  // Handing over the input before ending the frame keeps its size unknown.
  ZSTD_compressStream2(context, &output, &input, ZSTD_e_continue);
  while (ZSTD_compressStream2(context, &output, &input, ZSTD_e_end) != 0) {
  }
  ZSTD_freeCCtx(context);
  frame.resize(output.pos);
  return frame;
}

// "RUQ", the frame, and a trailer whose u64 holds `trailerValue`.
Bytes attachedData(const Bytes& frame, uint64_t trailerValue) {
  Bytes data = {'R', 'U', 'Q'};
  data.insert(data.end(), frame.begin(), frame.end());
  data.insert(data.end(), 3, 0);
  for (int i = 0; i < 8; ++i) data.push_back(static_cast<unsigned char>(trailerValue >> (8 * i)));
  data.insert(data.end(), 3, 0);
  return data;
}

void append(Bytes& to, const Bytes& what) { to.insert(to.end(), what.begin(), what.end()); }

TEST(FindAttachedData, SkipsLookAlikesAndFindsTheWholeRegion) {
  const Bytes frame = frameOf(std::string(5000, 'a') + "launcher", 20);
  Bytes image(777, 'R');
  append(image, {'R', 'U', 'Q', 0x28, 0xB5, 0x2F, 0xFD, 1, 2, 3});  // not a frame
  append(image, attachedData(frame, 5 + frame.size()));             // trailer off by one
  const size_t expected = image.size();
  append(image, attachedData(frame, 6 + frame.size()));
  image.insert(image.end(), 100, 0);

  FoundAttachedData found{};
  ASSERT_TRUE(findAttachedData(image.data(), image.size(), found));
  EXPECT_EQ(found.offset, expected);
  EXPECT_EQ(found.frameLength, frame.size());
  EXPECT_EQ(found.length, frame.size() + 17);
  EXPECT_EQ(found.windowSize, 1u << 20);
}

TEST(FindAttachedData, ReadsTheWindowOfASingleSegmentFrameFromItsContentSize) {
  const std::string contents(300, 'x');
  Bytes frame(ZSTD_compressBound(contents.size()));
  frame.resize(ZSTD_compress(frame.data(), frame.size(), contents.data(), contents.size(), 3));
  const Bytes image = attachedData(frame, 6 + frame.size());
  FoundAttachedData found{};
  ASSERT_TRUE(findAttachedData(image.data(), image.size(), found));
  EXPECT_EQ(found.windowSize, 300u);
}

TEST(FindAttachedData, ReportsAnImageWithoutAttachedData) {
  const Bytes frame = frameOf("only a frame", 20);
  Bytes image = attachedData(frame, 6 + frame.size());
  image.resize(image.size() - 1);  // the trailer cut short
  FoundAttachedData found{};
  EXPECT_FALSE(findAttachedData(image.data(), image.size(), found));
  EXPECT_FALSE(findAttachedData(image.data(), 0, found));
}

}  // namespace
