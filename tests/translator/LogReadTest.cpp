// A device's log registers read through whole Process calls: records and
// positions come from the PC-side log, ahead of the value cache and the
// tree, and only for log registers that have a recorder.
#include "LogTree.h"
#include "MeterFixture.h"
#include "logs/LogBuffer.h"
#include "logs/LogBufferSaveThread.h"
#include "tree/TranslationTree.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

#include <gmock/gmock.h>

namespace arxmod::test {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

class LogReadTest : public MeterFixture {
protected:
  LogReadTest() {
    // The process's log buffer keeps its files in the data directory of
    // the host database, which it reads once when first used.
    const auto data = meterDevices().database().directory() / "data";
    meterDevices().database().exec("DELETE FROM HostSetting WHERE Name='DataDirectory'");
    meterDevices().database().exec("INSERT INTO HostSetting VALUES('DataDirectory','" +
                                   data.string() + "')");
  }

  // The save thread the appends start waits on this test's clock: stop it
  // (after its last save) before the clock goes.
  ~LogReadTest() override { XLARX::LogBuffer::instance().saveThread().stop(); }

  // Appends records 0 .. count-1 to the data log of `device`.
  void appendRecords(uint16_t device, int count) {
    const auto tree = makeRef<TranslationTree>(makeLogTree());
    for (int i = 0; i < count; ++i) {
      MemoryBlob blob(512);
      const double values[] = {double(i), -double(i)};
      XLARX::LogBuffer::instance().Append(device, kDataLog, *tree, i, *makeRecord(blob, values));
    }
  }
};

PICType *rangeFiveToSeven(MemoryBlob &blob) {
  auto *range = blob.make<RangeType>();
  range->setField(0, blob.make<UnsignedType>(5u));
  range->setField(1, blob.make<UnsignedType>(7u));
  return range;
}

PICType *textArgument(MemoryBlob &blob) { return makeString(blob, "all"); }

TEST_F(LogReadTest, RecordsAndPositionOfALogRegisterComeFromTheLog) {
  const uint16_t device = addDevice(*makeLogTree(10, 2), "");
  EXPECT_THAT(run(device, {{kDataLog, 21}}).results,
              ElementsAre("ExceptionType { 5u void Not Available }"));

  appendRecords(device, 12);
  const Answer answer = run(device, {{kDataLog, 40},
                                     {kDataLog, 21},
                                     {kDataLog, 21, rangeFiveToSeven},
                                     {kDataLog, 21, textArgument}});
  ASSERT_EQ(answer.results.size(), 4u);
  EXPECT_EQ(answer.results[0], "12u") << "the sequence number of the next record";
  EXPECT_THAT(answer.results[1], StartsWith("LogArrayType"));
  EXPECT_THAT(answer.results[2], StartsWith("LogArrayType"));
  EXPECT_LT(answer.results[2].size(), answer.results[1].size()) << "three records of the ten kept";
  EXPECT_EQ(answer.results[3], "ExceptionType { 3u void Wrong Data Type }");
}

TEST_F(LogReadTest, RegistersWithoutARecorderAreAnsweredAsBefore) {
  const uint16_t device = addDevice(*makeLogTree(10, 2), "");
  // A log register owned by a module that keeps no log, and a plain
  // register: their values and positions are not the log buffer's.
  const Answer answer = run(device, {{kOtherLog, 21}, {kPlainRegister, 40}, {kOtherLog, 40}});
  ASSERT_EQ(answer.results.size(), 3u);
  for (const std::string &result : answer.results)
    EXPECT_THAT(result, ::testing::Not(::testing::HasSubstr("LogArrayType")));
}

} // namespace
} // namespace arxmod::test
