// The event and waveform logs when their directory is full or read-only: a
// failed save leaves every file of the log as it was, with no temporary
// file left behind, keeps the records in memory, and the first save after
// the fault clears writes them all.
#include "logs/RecorderFactory.h"

#include "LogTestSupport.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"
#include "types/StructureArrays.h"

#include <gmock/gmock.h>

#include <map>
#include <unistd.h>

namespace arxmod {
namespace {

using ::testing::HasSubstr;
using XLARX::BufRecorder;

PICType *event(MemoryBlob &blob, uint32_t number) {
  auto *made = blob.make<EventType>();
  made->setField(0, blob.make<UnsignedType>(number));
  made->setField(3, makeString(blob, "Tripped"));
  return made;
}

PICType *waveform(MemoryBlob &blob, uint32_t number) {
  auto *made = blob.make<WaveformType>();
  for (size_t i = 0; i < 4; ++i)
    made->setField(i, blob.make<Float64Type>(number + 0.25 * static_cast<double>(i)));
  auto *samples = blob.make<Float32Array>(2);
  samples->setElement(0, static_cast<float>(number));
  made->setField(4, samples);
  return made;
}

class DiskFaultTest : public test::LogTest {
protected:
  IRefPtr<BufRecorder> made(uint32_t handle) {
    return XLARX::makeRecorder(makeLogKey(test::kDevice, handle), tree_, 0, logs_);
  }
  // Every file of the log directory with its bytes.
  std::map<std::string, std::string> directoryContent() const {
    std::map<std::string, std::string> content;
    for (const auto &entry : std::filesystem::directory_iterator(logs_))
      content[entry.path().filename().string()] = test::readFile(entry.path());
    return content;
  }
};

TEST_F(DiskFaultTest, FailedSavesKeepTheWrittenFilesAndTheNextSaveWritesEverything) {
  const struct {
    const char *name;
    uint32_t handle;
    PICType *(*value)(MemoryBlob &, uint32_t);
    int openError;
    int writeError;
    const char *message;
  } cases[] = {
      {"event log, full disk", test::kEventLog, event, 0, ENOSPC,
       "Could not save recorder cache. Reason: "},
      {"event log, read-only directory", test::kEventLog, event, EROFS, 0,
       "Could not save recorder cache. Reason: "},
      {"waveform log, full disk", test::kWaveLog, waveform, 0, ENOSPC,
       "Could not save WaveformLogRecorder cache. Reason: "},
      {"waveform log, read-only directory", test::kWaveLog, waveform, EROFS, 0,
       "A file open error occurred in WaveformLogRecorder::SaveIndividualRecord"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(logs_);
    std::filesystem::create_directories(logs_);
    SystemLog::instance().forgetAttempts();
    auto append = [&](BufRecorder &log, uint32_t count) {
      for (uint32_t i = 0; i < count; ++i) {
        MemoryBlob blob(kProgramBlobSize);
        log.append(1000.0 + log.position(), *c.value(blob, log.position()));
      }
    };
    {
      IRefPtr<BufRecorder> log = made(c.handle);
      append(*log, 3);
      ASSERT_TRUE(log->saveIfChanged());
      const auto written = directoryContent();
      append(*log, 2);
      test::FailingWrites failing;
      failing.openError = c.openError;
      failing.writeError = c.writeError;
      {
        ScopedLogWriteSeam use(failing);
        EXPECT_FALSE(log->saveIfChanged());
      }
      EXPECT_EQ(directoryContent(), written);
      EXPECT_THAT(systemLogTexts().back(), HasSubstr(c.message));
      EXPECT_THAT(systemLogTexts().back(), HasSubstr(errorText(c.openError + c.writeError)));
      EXPECT_EQ(log->recordCount(), 5u);
      EXPECT_TRUE(log->saveIfChanged());
    }
    IRefPtr<BufRecorder> restored = made(c.handle);
    EXPECT_EQ(restored->position(), 5u);
    EXPECT_EQ(restored->recordCount(), 5u);
  }
}

// The same through the file system's own permissions, where they hold (not
// for root, which writes into a read-only directory all the same).
TEST_F(DiskFaultTest, DirectoryWithoutWritePermissionKeepsTheWrittenFile) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root is not stopped by a directory's permissions";
  IRefPtr<BufRecorder> log = made(test::kEventLog);
  MemoryBlob blob(kProgramBlobSize);
  log->append(1000.0, *event(blob, 1));
  ASSERT_TRUE(log->saveIfChanged());
  const auto written = directoryContent();
  log->append(1001.0, *event(blob, 2));
  std::filesystem::permissions(logs_, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  const bool saved = log->saveIfChanged();
  std::filesystem::permissions(logs_, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_FALSE(saved);
  EXPECT_EQ(directoryContent(), written);
  EXPECT_THAT(systemLogTexts().back(), HasSubstr("Reason: Permission denied"));
  EXPECT_TRUE(log->saveIfChanged());
  EXPECT_EQ(made(test::kEventLog)->recordCount(), 2u);
}

} // namespace
} // namespace arxmod
