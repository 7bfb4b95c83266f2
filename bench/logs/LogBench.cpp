// Log buffer benchmarks: appending data records while saves run, and saving
// a whole data log.
//
// Targets: at least 1,000,000 appended records per second (16 values each,
// a log of depth 10,000, a second thread saving meanwhile), and a full
// save of a 10,000-record log in under 50 ms. The counters report records
// per second and the bytes written to disk per appended record.
#include "LogTree.h"
#include "logs/DataLogRecorder.h"
#include "logs/LogBuffer.h"
#include "logs/LogFileIo.h"
#include "types/NumericTypes.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <thread>

using namespace arxmod;

namespace {

constexpr uint32_t kDepth = 10000;
constexpr size_t kValues = 16;
constexpr int kRecords = 1'000'000;

// Counts the bytes that reach the disk.
class CountingWrites : public LogWriteSeam {
public:
  std::atomic<uint64_t> bytes{0};
  int writeAt(int fd, std::span<const uint8_t> data, uint64_t offset) override {
    bytes += data.size();
    return LogWriteSeam::writeAt(fd, data, offset);
  }
};

std::filesystem::path freshDirectory() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "arxmod-logbench-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    std::abort();
  return pattern;
}

// One record of kValues numbers, changed in place for each append.
struct Record {
  MemoryBlob blob{4096};
  PICTypeContainer *values = blob.make<PICTypeContainer>();
  std::vector<Float64Type *> numbers;
  Record() {
    for (size_t i = 0; i < kValues; ++i)
      values->append(numbers.emplace_back(blob.make<Float64Type>(0.0)));
  }
  void set(int sequence) {
    for (size_t i = 0; i < kValues; ++i)
      numbers[i]->set(sequence * 0.25 + static_cast<double>(i));
  }
};

void BM_AppendWhileSaving(benchmark::State &state) {
  const std::filesystem::path directory = freshDirectory();
  IRefPtr<ObjList> objects = test::makeLogTree(kDepth, kValues);
  TranslationTreeReader tree(objects);
  CountingWrites counting;
  ScopedLogWriteSeam use(counting);
  uint64_t saves = 0;
  for (auto _ : state) {
    XLARX::LogBuffer logs(directory);
    std::atomic<bool> appending{true};
    std::thread saver([&] {
      while (appending.load(std::memory_order_relaxed)) {
        logs.saveChanged();
        ++saves;
        std::this_thread::sleep_for(std::chrono::milliseconds(state.range(0)));
      }
    });
    Record record;
    for (int i = 0; i < kRecords; ++i) {
      record.set(i);
      logs.Append(test::kDevice, test::kDataLog, tree, i, *record.values);
    }
    appending = false;
    saver.join();
  }
  std::filesystem::remove_all(directory);
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["bytes_per_record"] = benchmark::Counter(
      static_cast<double>(counting.bytes) / (static_cast<double>(state.iterations()) * kRecords));
  state.counters["saves"] = static_cast<double>(saves);
}
// The argument is the pause between two saves in milliseconds: 0 saves
// back to back, the worst case; the save thread itself saves at most every
// ten seconds.
BENCHMARK(BM_AppendWhileSaving)
    ->Arg(0)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// A full save of kDepth records: as a new file, or every slot in place.
void fullSave(benchmark::State &state, bool newFile) {
  const std::filesystem::path directory = freshDirectory();
  auto log = makeRef<XLARX::DataLogRecorder>(
      XLARX::BufRecorder::Identity{makeLogKey(test::kDevice, test::kDataLog), kDepth, 0,
                                   directory / "log.arx"},
      test::kDataModule, std::vector<uint32_t>(kValues, test::kFirstSource));
  log->finishSetup();
  Record record;
  auto fill = [&] {
    for (uint32_t i = 0; i < kDepth; ++i) {
      record.set(static_cast<int>(log->position()));
      log->append(log->position(), *record.values);
    }
  };
  fill();
  log->save();
  for (auto _ : state) {
    state.PauseTiming();
    if (newFile)
      log->startNewFile();
    fill();
    state.ResumeTiming();
    log->save();
  }
  std::filesystem::remove_all(directory);
  state.SetItemsProcessed(state.iterations() * kDepth);
}

void BM_FullSaveNewFile(benchmark::State &state) { fullSave(state, true); }
void BM_FullSaveInPlace(benchmark::State &state) { fullSave(state, false); }
BENCHMARK(BM_FullSaveNewFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullSaveInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
