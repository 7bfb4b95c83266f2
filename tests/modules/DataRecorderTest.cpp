// The data recorder module: its records in the PC-side data log, the
// staleness threshold and action, resets, and its state outputs.
#include "ModuleFixture.h"

#include "logs/LogBuffer.h"
#include "types/NumericTypes.h"
#include "types/StructureArrays.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace XLARX::test {
namespace {

using namespace std::chrono_literals;

int instances = 0;

constexpr uint32_t kFresh = 0x10;
constexpr uint32_t kStale = 0x11;
constexpr uint32_t kRecord = 0x30;
constexpr uint32_t kReset = 0x31;
constexpr uint32_t kModule = 0x100;
constexpr uint32_t kDataLog = kModule + 1;
constexpr uint32_t kLogState = kModule + 2;
constexpr uint32_t kRecordsLeft = kModule + 3;
constexpr uint32_t kRecordComplete = kModule + 4;

// A device with a data recorder of depth 3 over two sources, and a log
// buffer in a directory of its own.
class RecorderDevice {
public:
  RecorderDevice() {
    f.addRegister(kFresh, 25, "Vln a");
    f.addRegister(kStale, 25, "Vln b");
    f.addRegister(kRecord, 26, "Record pulses");
    f.addRegister(kReset, 26, "Reset pulses");
    f.addDataRecorder(kModule, {kFresh, kStale}, "3u", 0, kRecord, kReset);
  }
  ~RecorderDevice() {
    logs.shutdown();
    std::filesystem::remove_all(directory);
  }

  void setStaleness(const std::string &thresholdSeconds, const std::string &action) {
    dynamic_cast<arxmod::RegisterObj &>(*f.objects().find(kModule + 0x41))
        .setValueText(thresholdSeconds);
    dynamic_cast<arxmod::RegisterObj &>(*f.objects().find(kModule + 0x42)).setValueText(action);
  }

  // The values of every record held, each as its numbers (NaN for "not available").
  std::vector<std::vector<double>> records() {
    arxmod::MemoryBlob blob(4096);
    const auto *held = dynamic_cast<const arxmod::LogArrayType *>(
        logs.GetLogs(ModuleFixture::kDevice, kDataLog, *f.device()->tree, nullptr, blob));
    std::vector<std::vector<double>> all;
    for (size_t i = 0; held && i < held->structureCount(); ++i) {
      std::vector<double> values;
      for (const arxmod::PICType *value : *held->at(i)->values()) {
        const auto *number = dynamic_cast<const arxmod::NumericType *>(value);
        values.push_back(number ? number->asDouble() : std::nan(""));
      }
      all.push_back(values);
    }
    return all;
  }

  // Sets both sources (the stale one 20 s before the fresh one) and pulses Record.
  void recordOnce(double fresh, double stale) {
    f.setValue(kStale, stale);
    f.clock().advance(20s);
    f.setValue(kFresh, fresh);
    f.setValue(kRecord, ++recordPulses);
    f.step(*list);
  }

  void build() {
    list = f.buildList(&logs);
    f.setValue(kRecord, recordPulses);
    f.setValue(kReset, 0);
    f.step(*list);
  }

  ModuleFixture f;
  std::filesystem::path directory =
      std::filesystem::temp_directory_path() /
      ("arxmod-dre-" + std::to_string(::getpid()) + "-" + std::to_string(++instances));
  LogBuffer logs{directory};
  arxmod::IRefPtr<SPXP_ModuleList> list;
  double recordPulses = 0;
};

TEST(DataRecorder, RecordPulsesAppendRecordsToTheLog) {
  RecorderDevice d;
  d.build();
  EXPECT_EQ(d.f.number(kLogState), 1);
  EXPECT_EQ(d.f.number(kRecordsLeft), 0);
  d.recordOnce(1.5, 2.5);
  d.f.clock().advance(400ms);
  d.recordOnce(3.5, 4.5);
  EXPECT_EQ(d.records(), (std::vector<std::vector<double>>{{1.5, 2.5}, {3.5, 4.5}}));
  EXPECT_EQ(d.f.number(kRecordComplete), 2);
  EXPECT_EQ(d.f.number(kRecordsLeft), 1);
  Cache::Access values = d.f.device()->cache->access();
  const double stamp = values.find(kRecordComplete)->timeStamp();
  EXPECT_EQ(stamp, std::round(stamp));
}

TEST(DataRecorder, StaleSourcesAreRecordedAsTheActionSays) {
  const struct {
    const char *what;
    std::string threshold;
    std::string action;
    bool staleKept;
  } cases[] = {
      {"stale after 10 s, log N/A", "10u", "0u", false},
      {"stale after 10 s, last known value", "10u", "1u", true},
      {"no threshold", "0u", "0u", true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    RecorderDevice t;
    t.setStaleness(c.threshold, c.action);
    t.build();
    t.recordOnce(1, 2);
    const auto held = t.records();
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0][0], 1);
    EXPECT_EQ(!std::isnan(held[0][1]), c.staleKept);
  }
}

TEST(DataRecorder, ResetClearsTheLogAndDisabledRecorderTakesNoRecords) {
  RecorderDevice d;
  d.f.addRegister(0x32, 21, "Recorder enable");
  auto &module = dynamic_cast<arxmod::ModuleObj &>(*d.f.objects().find(kModule));
  auto inputs = *module.inputs();
  inputs[16].handle = 0x32;
  module.setInputs(inputs);
  d.build();
  d.f.setValue(0x32, 1);
  d.recordOnce(1, 1);
  d.f.setValue(kReset, 1);
  d.f.step(*d.list);
  EXPECT_TRUE(d.records().empty());
  EXPECT_EQ(d.f.number(kRecordsLeft), 3);
  d.f.setValue(0x32, 0);
  d.recordOnce(2, 2);
  EXPECT_TRUE(d.records().empty());
  EXPECT_EQ(d.f.number(kLogState), 0);
  EXPECT_EQ(d.f.number(kRecordComplete), 1);
}

} // namespace
} // namespace XLARX::test
