#include "payload/cache_record.h"

#include <gtest/gtest.h>

#include <vector>

#include "pack/entry_table_writer.h"

namespace {

constexpr uint32_t kEdgeCrc = 0x1234;

// A two-entry table for attached data of `inputLength` bytes.
struct Table {
  explicit Table(uint64_t inputLength) {
    EntryTableBuilder builder;
    builder.add(u"app.exe", 10, 5);
    builder.add(u"data\\a.bin", 3, 7);
    bytes = builder.finish(inputLength, kEdgeCrc);
    EXPECT_EQ(entryTableProblem(bytes.data(), bytes.size(), inputLength, kEdgeCrc, view), nullptr);
  }
  std::vector<unsigned char> bytes;
  EntryTableView view{};
};

TEST(CacheRecord, RoundTripsAndIsTrustedOnlyByItsBuildAndDirectory) {
  const Table table(5000);
  const RecordOwner owner = recordOwner(table.view, 0xAB12, 0x1122334455667788);
  const uint64_t time = 0x01DD000000000000;
  std::vector<unsigned char> record(cacheRecordSize(2));
  storeRecordedStamp(record.data(), 0, FileStamp{time - kRacyInterval, 42});
  storeRecordedStamp(record.data(), 1, kUnknownStamp);
  sealCacheRecord(record.data(), owner, time);

  uint64_t recordTime = 0;
  EXPECT_EQ(cacheRecordProblem(record.data(), record.size(), owner, time, &recordTime), nullptr);
  EXPECT_EQ(recordTime, time);
  EXPECT_EQ(recordedStamp(record.data(), 0).lastWriteTime, time - kRacyInterval);
  EXPECT_EQ(recordedStamp(record.data(), 0).fileId, 42u);
  EXPECT_EQ(recordedStamp(record.data(), 1).lastWriteTime, kUnknownTime);

  for (size_t at = 0; at < record.size(); ++at) {
    std::vector<unsigned char> damaged = record;
    damaged[at] ^= 0x10;
    EXPECT_NE(cacheRecordProblem(damaged.data(), damaged.size(), owner, time, &recordTime), nullptr)
        << at;
  }
  EXPECT_STREQ(cacheRecordProblem(record.data(), record.size() - 1, owner, time, &recordTime),
               "a wrong length");
  EXPECT_STREQ(cacheRecordProblem(record.data(), 10, owner, time, &recordTime), "too short");

  // The same entries in other attached data are another build.
  const Table otherBuild(5001);
  EXPECT_STREQ(cacheRecordProblem(record.data(), record.size(),
                                  recordOwner(otherBuild.view, 0xAB12, 0x1122334455667788), time,
                                  &recordTime),
               "written for another build");
  for (const RecordOwner& elsewhere : {recordOwner(table.view, 0xAB12, 0x1122334455667789),
                                       recordOwner(table.view, 0xAB13, 0x1122334455667788)}) {
    EXPECT_STREQ(cacheRecordProblem(record.data(), record.size(), elsewhere, time, &recordTime),
                 "written for another directory");
  }
  // Read before its own time: the clock was set back since.
  EXPECT_STREQ(cacheRecordProblem(record.data(), record.size(), owner, time - 1, &recordTime),
               "a time still to come");
}

TEST(CacheRecord, VouchesOnlyForAnUnchangedFileRecordedWellBeforeItsTime) {
  const uint64_t time = 0x01DD000000000000;
  const FileStamp recorded{time - kRacyInterval, 42};
  EXPECT_TRUE(recordVouchesFor(recorded, recorded, time));
  EXPECT_FALSE(recordVouchesFor(recorded, recorded, time - 1));  // racy
  EXPECT_FALSE(recordVouchesFor(recorded, FileStamp{time - kRacyInterval + 1, 42}, time));
  EXPECT_FALSE(recordVouchesFor(recorded, FileStamp{time - kRacyInterval, 43}, time));
  EXPECT_FALSE(recordVouchesFor(kUnknownStamp, kUnknownStamp, time));
  EXPECT_FALSE(recordVouchesFor(FileStamp{0, 1}, FileStamp{0, 1}, kRacyInterval - 1));
}

}  // namespace
