// The log buffer: its operations, the position map across restarts, the
// save thread's timing, client reads, and concurrent appends.
#include "logs/LogBuffer.h"

#include "LogTestSupport.h"
#include "base/Clock.h"
#include "host/ThreadStops.h"
#include "logs/LogReads.h"
#include "types/StructureArrays.h"

#include <thread>

namespace arxmod {
namespace {

using XLARX::LogBuffer;
using XLARX::LogBufferSaveThread;
using Phase = LogBufferSaveThread::Phase;

constexpr auto kPatience = std::chrono::seconds(20);

class LogBufferTest : public test::LogTest {
protected:
  void append(LogBuffer &buffer, uint32_t handle, double value, uint32_t device = test::kDevice) {
    MemoryBlob blob(512);
    const double values[] = {value, -value};
    buffer.Append(device, handle, tree_, value, *test::makeRecord(blob, values));
  }
  size_t recordCount(LogBuffer &buffer, uint32_t handle) {
    MemoryBlob blob(kProgramBlobSize);
    auto *records =
        dynamic_cast<LogArrayType *>(buffer.GetLogs(test::kDevice, handle, tree_, nullptr, blob));
    return records ? records->structureCount() : 0;
  }
};

TEST(RecorderBucketCountTest, FollowsTheTableOfSizes) {
  const std::pair<size_t, size_t> cases[] = {
      {0, 11},      {20, 11},      {21, 53},      {50, 53},     {51, 103},    {100, 103},
      {101, 313},   {200, 313},    {201, 503},    {500, 503},   {501, 1031},  {1000, 1031},
      {1001, 2113}, {2000, 2113},  {2001, 3019},  {3000, 3019}, {3001, 4013}, {5000, 4013},
      {5001, 7013}, {10000, 7013}, {10001, 13163}};
  for (const auto &[recorders, buckets] : cases) {
    SCOPED_TRACE(recorders);
    EXPECT_EQ(XLARX::recorderBucketCount(recorders), buckets);
  }
}

TEST_F(LogBufferTest, LogsWithoutRecorderAnswerNotAvailableAndRefuseAppends) {
  LogBuffer buffer(logs_);
  MemoryBlob blob(kProgramBlobSize);
  auto *answer =
      picCast<ExceptionType>(buffer.GetLogs(test::kDevice, test::kOtherLog, tree_, nullptr, blob));
  EXPECT_EQ(answer->code(), 5u);
  EXPECT_EQ(answer->text(), "Not Available");
  EXPECT_EQ(buffer.GetLogPosition(test::kDevice, test::kPlainRegister, tree_), 0u);
  try {
    append(buffer, test::kOtherLog, 1);
    ADD_FAILURE() << "appended to a log without recorder";
  } catch (const KSXmsg &failure) {
    EXPECT_EQ(failure.text(),
              "Unknown log register: handle 0x00000520 of device 7 ('Minimum 1 Log', class 30)");
  }
  try {
    append(buffer, 0x777, 1);
    ADD_FAILURE() << "appended to a handle outside the tree";
  } catch (const KSXmsg &failure) {
    EXPECT_EQ(failure.text(),
              "Unknown log register: handle 0x00000777 of device 7 (not in the device's tree)");
  }
  EXPECT_EQ(buffer.recorderCount(), 0u);
  EXPECT_EQ(buffer.saveThread().phase(), Phase::NotStarted);
}

TEST_F(LogBufferTest, PositionsAndRecordsSurviveARestartPerDevice) {
  {
    LogBuffer buffer(logs_);
    for (int i = 0; i < 14; ++i)
      append(buffer, test::kDataLog, i);
    append(buffer, test::kDataLog, 100, 8); // another device, same handle
    EXPECT_EQ(buffer.GetLogPosition(test::kDevice, test::kDataLog, tree_), 14u);
    EXPECT_EQ(buffer.GetLogPosition(8, test::kDataLog, tree_), 1u);
    EXPECT_EQ(buffer.recorderCount(), 2u);
    EXPECT_GE(buffer.bucketCount(), 11u);
  } // shut down: the last save writes both logs and the position file
  EXPECT_TRUE(std::filesystem::exists(logs_ / "0000000700000220.arx"));
  EXPECT_TRUE(std::filesystem::exists(logs_ / "0000000800000220.arx"));
  EXPECT_EQ(fileBytes(logs_ / "log_position.dat").size(), 16u * 2 + 18);

  std::filesystem::remove(logs_ / "0000000800000220.arx");
  LogBuffer restarted(logs_);
  EXPECT_EQ(restarted.GetLogPosition(test::kDevice, test::kDataLog, tree_), 14u);
  EXPECT_EQ(recordCount(restarted, test::kDataLog), 10u);
  EXPECT_EQ(restarted.GetLogPosition(8, test::kDataLog, tree_), 1u) << "position without its file";
  append(restarted, test::kDataLog, 1, 8);
  EXPECT_EQ(restarted.GetLogPosition(8, test::kDataLog, tree_), 2u);
}

TEST_F(LogBufferTest, ClearEmptiesTheLogAndCleanupSavesAndDropsIt) {
  LogBuffer buffer(logs_);
  for (int i = 0; i < 4; ++i)
    append(buffer, test::kDataLog, i);
  buffer.Clear(test::kDevice, test::kDataLog, tree_);
  EXPECT_EQ(recordCount(buffer, test::kDataLog), 0u);
  append(buffer, test::kDataLog, 9);
  buffer.CleanupRecorder(test::kDevice, test::kDataLog);
  EXPECT_EQ(buffer.recorderCount(), 0u);
  buffer.CleanupRecorder(test::kDevice, test::kDataLog);
  EXPECT_EQ(recordCount(buffer, test::kDataLog), 1u) << "made again from its saved file";
  EXPECT_EQ(buffer.GetLogPosition(test::kDevice, test::kDataLog, tree_), 5u);
}

TEST_F(LogBufferTest, ClientReadsOfRecordsAndPositions) {
  LogBuffer buffer(logs_);
  MemoryBlob blob(kProgramBlobSize);
  using XLARX::answerLogRead;
  EXPECT_EQ(answerLogRead(buffer, test::kDevice, test::kDataLog, 1, nullptr, tree_, blob), nullptr);
  EXPECT_EQ(answerLogRead(buffer, test::kDevice, test::kOtherLog, 21, nullptr, tree_, blob),
            nullptr);
  EXPECT_EQ(answerLogRead(buffer, test::kDevice, test::kPlainRegister, 40, nullptr, tree_, blob),
            nullptr);
  auto *empty = picCast<ExceptionType>(
      answerLogRead(buffer, test::kDevice, test::kDataLog, 21, nullptr, tree_, blob));
  EXPECT_EQ(empty->text(), "Not Available");

  for (int i = 0; i < 12; ++i)
    append(buffer, test::kDataLog, i);
  EXPECT_EQ(picCast<UnsignedType>(
                answerLogRead(buffer, test::kDevice, test::kDataLog, 40, nullptr, tree_, blob))
                ->get(),
            12u);
  auto *all = picCast<LogArrayType>(
      answerLogRead(buffer, test::kDevice, test::kDataLog, 21, nullptr, tree_, blob));
  EXPECT_EQ(all->structureCount(), 10u);
  auto *range = blob.make<RangeType>();
  range->setField(0, blob.make<UnsignedType>(5u));
  range->setField(1, blob.make<UnsignedType>(7u));
  auto *some = picCast<LogArrayType>(
      answerLogRead(buffer, test::kDevice, test::kDataLog, 21, range, tree_, blob));
  ASSERT_EQ(some->structureCount(), 3u);
  EXPECT_EQ(some->at(0)->recordNumber(), 5u);
  EXPECT_EQ(picCast<Float64Type>(some->at(2)->values()->at(1))->get(), -7.0);
  auto *wrong = picCast<ExceptionType>(answerLogRead(buffer, test::kDevice, test::kDataLog, 21,
                                                     makeString(blob, "all"), tree_, blob));
  EXPECT_EQ(wrong->code(), 3u);
  EXPECT_EQ(wrong->text(), "Wrong Data Type");
}

TEST_F(LogBufferTest, SaveThreadSavesTenSecondsAfterASignalOrAMinuteAfterNone) {
  ManualClock clock;
  ScopedClock use(clock);
  LogBuffer buffer(logs_);
  LogBufferSaveThread &thread = buffer.saveThread();
  const std::filesystem::path file = logs_ / "0000000700000220.arx";

  append(buffer, test::kDataLog, 1); // starts the thread and signals it
  ASSERT_TRUE(thread.awaitPhase(Phase::Sleeping, 0, kPatience));
  clock.advance(std::chrono::milliseconds(9999));
  EXPECT_FALSE(std::filesystem::exists(file));
  clock.advance(std::chrono::milliseconds(1));
  ASSERT_TRUE(thread.awaitPhase(Phase::Waiting, 1, kPatience));
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(std::filesystem::exists(logs_ / "log_position.dat"));

  // A save that fails is retried at the next cycle, which comes within a
  // minute and ten seconds even without a signal.
  test::FailingWrites full;
  full.writeError = ENOSPC;
  {
    ScopedLogWriteSeam failing(full);
    append(buffer, test::kDataLog, 2);
    ASSERT_TRUE(thread.awaitPhase(Phase::Sleeping, 1, kPatience));
    clock.advance(std::chrono::milliseconds(10000));
    ASSERT_TRUE(thread.awaitPhase(Phase::Waiting, 2, kPatience));
  }
  clock.advance(std::chrono::milliseconds(60000));
  ASSERT_TRUE(thread.awaitPhase(Phase::Sleeping, 2, kPatience));
  clock.advance(std::chrono::milliseconds(10000));
  ASSERT_TRUE(thread.awaitPhase(Phase::Waiting, 3, kPatience));
  buffer.saveThread().stop();
  EXPECT_EQ(thread.phase(), Phase::NotStarted);
  LogBuffer restarted(logs_);
  EXPECT_EQ(recordCount(restarted, test::kDataLog), 2u);
}

TEST_F(LogBufferTest, ShutdownSavesOnceMoreAndTheNextChangeStartsTheThreadAgain) {
  ManualClock clock;
  ScopedClock use(clock);
  LogBuffer buffer(logs_);
  append(buffer, test::kDataLog, 1);
  ASSERT_TRUE(buffer.saveThread().awaitPhase(Phase::Sleeping, 0, kPatience));
  buffer.shutdown();
  buffer.shutdown();
  EXPECT_EQ(buffer.saveThread().phase(), Phase::NotStarted);
  EXPECT_TRUE(std::filesystem::exists(logs_ / "0000000700000220.arx"));
  append(buffer, test::kDataLog, 2);
  ASSERT_TRUE(buffer.saveThread().awaitPhase(Phase::Sleeping, 0, kPatience));
  clock.advance(std::chrono::milliseconds(10000));
  ASSERT_TRUE(buffer.saveThread().awaitPhase(Phase::Waiting, 1, kPatience));
  EXPECT_EQ(recordCount(*std::make_unique<LogBuffer>(logs_), test::kDataLog), 2u);
}

TEST_F(LogBufferTest, ProcessBufferLivesInTheDataDirectoryAndStopsWithTheThreadStops) {
  database_.exec("INSERT INTO HostSetting VALUES ('DataDirectory', '" +
                 database_.directory().string() + "')");
  LogBuffer &process = LogBuffer::instance();
  ASSERT_EQ(process.directory(), logs_);
  append(process, test::kDataLog, 1);
  EXPECT_NE(process.saveThread().phase(), Phase::NotStarted);
  stopRegisteredThreads();
  EXPECT_EQ(process.saveThread().phase(), Phase::NotStarted);
  EXPECT_TRUE(std::filesystem::exists(logs_ / "0000000700000220.arx"));
  shutdownLogBuffer();
}

TEST_F(LogBufferTest, ConcurrentAppendsReadsAndSavesOfSeveralDevices) {
  LogBuffer buffer(logs_);
  constexpr int kThreads = 4;
  constexpr int kAppends = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const uint32_t device = 10 + static_cast<uint32_t>(t % 2); // two threads per device
      for (int i = 0; i < kAppends; ++i) {
        append(buffer, test::kDataLog, i, device);
        if (i % 50 == 0) {
          MemoryBlob blob(kProgramBlobSize);
          buffer.GetLogs(device, test::kDataLog, tree_, nullptr, blob);
          buffer.saveChanged();
        }
      }
    });
  }
  for (auto &thread : threads)
    thread.join();
  buffer.shutdown();
  LogBuffer restarted(logs_);
  EXPECT_EQ(restarted.GetLogPosition(10, test::kDataLog, tree_), 2u * kAppends);
  EXPECT_EQ(restarted.GetLogPosition(11, test::kDataLog, tree_), 2u * kAppends);
  MemoryBlob blob(kProgramBlobSize);
  auto *records =
      picCast<LogArrayType>(restarted.GetLogs(10, test::kDataLog, tree_, nullptr, blob));
  EXPECT_EQ(records->structureCount(), 10u);
  EXPECT_EQ(records->at(9)->recordNumber(), 2u * kAppends - 1);
}

} // namespace
} // namespace arxmod
