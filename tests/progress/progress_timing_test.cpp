#include "progress/progress_timing.h"

#include <gtest/gtest.h>

namespace {

ProgressSample at(uint64_t ms, uint64_t done, uint64_t total, bool finished = false) {
  ProgressSample sample;
  sample.elapsedMs = ms;
  sample.bytesDone = done;
  sample.bytesTotal = total;
  sample.finished = finished;
  return sample;
}

TEST(ProgressDue, OnlyAfterTheDelayWhileAPassWritesAndIsNotAboutToEnd) {
  {
    ProgressWatch watch;  // a first start: the totals are there at the first sample
    EXPECT_FALSE(progressDue(watch, at(kProgressDelayMs - 1, 10, 1000)));
    EXPECT_TRUE(progressDue(watch, at(kProgressDelayMs, 10, 1000)));
  }
  {
    ProgressWatch watch;  // a warm start: no pass ever announces totals
    EXPECT_FALSE(progressDue(watch, at(kProgressDelayMs, 0, 0)));
    EXPECT_FALSE(progressDue(watch, at(5000, 0, 0)));
  }
  {
    ProgressWatch watch;  // finished, however long it took
    EXPECT_FALSE(progressDue(watch, at(5000, 1000, 1000, true)));
  }
  {
    ProgressWatch watch;  // nothing written yet: no rate, so it shows
    EXPECT_TRUE(progressDue(watch, at(kProgressDelayMs, 0, 1000)));
  }
  {
    // 900 of 1000 bytes in 500 ms: 56 ms left, not worth a window.
    ProgressWatch watch;
    EXPECT_FALSE(progressDue(watch, at(kProgressDelayMs, 900, 1000)));
    // Half done in 500 ms: 500 ms left.
    ProgressWatch slower;
    EXPECT_TRUE(progressDue(slower, at(kProgressDelayMs, 500, 1000)));
  }
}

TEST(ProgressDue, ARepairMeasuresItsRateFromWhenItsPassBegan) {
  // The check of existing files takes 2 s and announces nothing; then a pass
  // writes 1000 bytes at 1 byte per ms.
  ProgressWatch watch;
  EXPECT_FALSE(progressDue(watch, at(kProgressDelayMs, 0, 0)));
  EXPECT_FALSE(progressDue(watch, at(2000, 0, 0)));
  // 50 bytes 50 ms after the last sample without totals: 950 ms left,
  // although against the whole start it would look like 19 s.
  EXPECT_TRUE(progressDue(watch, at(2050, 50, 1000)));
  ProgressWatch nearlyDone;
  progressDue(nearlyDone, at(2000, 0, 0));
  EXPECT_FALSE(progressDue(nearlyDone, at(2050, 900, 1000)));
}

TEST(BarPosition, BytesDoneOutOfTheTotalWithinTheRange) {
  EXPECT_EQ(barPosition(0, 0), 0u);
  EXPECT_EQ(barPosition(5, 0), 0u);
  EXPECT_EQ(barPosition(0, 1000), 0u);
  EXPECT_EQ(barPosition(999, 1000), kBarRange - 1);
  EXPECT_EQ(barPosition(1000, 1000), kBarRange);
  EXPECT_EQ(barPosition(2000, 1000), kBarRange);
  // Totals past 2^53 bytes stay in range.
  EXPECT_EQ(barPosition(UINT64_MAX / 2, UINT64_MAX), kBarRange / 2);
}

}  // namespace
