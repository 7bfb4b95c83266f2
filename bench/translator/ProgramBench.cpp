// Cost of a Process call carrying a 100-statement program of tree reads
// (names, labels, classes and stored values on the sample tree), and of its
// three parts: decoding the program, executing the statements, encoding
// the results.
#include "ProgramRequest.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/ConfigDatabase.h"
#include "host/HostSchema.h"
#include "translator/ModbusTranslator.h"
#include "types/PICCodec.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>

namespace {

constexpr uint16_t kDevice = 9;
constexpr uint16_t kThreadDevices = 4; // devices 9 to 12, each with a tree file of its own

// A host database whose devices 9 to 12 have copies of the sample tree.
void prepareHost() {
  static const bool prepared = [] {
    const auto dir = std::filesystem::temp_directory_path() / "arxmod-translator-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "translators" / "override");
    std::string devices;
    for (uint16_t device = kDevice; device < kDevice + kThreadDevices; ++device) {
      const std::string tree = "sample" + std::to_string(device) + ".xml";
      std::filesystem::copy_file(ARXMOD_SAMPLE_TREE, dir / "translators" / tree);
      devices += std::string(devices.empty() ? "" : ",") + "(" + std::to_string(device) +
                 ",'meter" + std::to_string(device) + "',1,'" + tree + "')";
    }
    // A map that maps no register: every statement is answered from the tree.
    std::ofstream(dir / "translators" / "sample_map.xml") << "<Map/>";
    const auto file = dir / "host.db";
    arxmod::createHostDatabase(file);
    sqlite3 *db = nullptr;
    sqlite3_open(file.c_str(), &db);
    const std::string sql = "INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so');"
                            "INSERT INTO DeviceType VALUES(1,'MX4110',1,'sample_map.xml');"
                            "INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES" +
                            devices +
                            ";"
                            "INSERT INTO HostSetting VALUES('TranslatorDirectory','" +
                            (dir / "translators").string() +
                            "/'),('TranslatorOverrideDirectory','" +
                            (dir / "translators" / "override").string() + "');";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    setenv("ARXMOD_HOST_DB", file.c_str(), 1);
    arxmod::ConfigDatabase::instance().reset();
    arxmod::installDeviceTranslatorMaker(&XLARX::makeModbusTranslator);
    return true;
  }();
  benchmark::DoNotOptimize(prepared);
}

// Classes, names, labels and stored values of five objects, 25 rounds.
std::vector<uint8_t> programBytes() {
  const uint32_t handles[] = {0x100, 0x110, 0x111, 0x101, 0x102};
  const uint32_t methods[] = {1, 2, 3, 21};
  std::vector<arxmod::bench::HandleMethod> statements;
  for (int round = 0; round < 5; ++round)
    for (const uint32_t handle : handles)
      for (const uint32_t method : methods)
        statements.emplace_back(handle, method);
  return arxmod::bench::programBytes(statements);
}

std::vector<uint8_t> requestPacket(uint16_t device = kDevice) {
  return arxmod::bench::executeRequest(device, programBytes());
}

void BM_ProcessTreeProgram(benchmark::State &state) {
  prepareHost();
  const auto request = requestPacket();
  std::vector<uint8_t> answer(65536);
  for (auto _ : state) {
    int32_t length = static_cast<int32_t>(answer.size());
    if (!arxmod::processCall(1, request.data(), static_cast<int32_t>(request.size()), answer.data(),
                             &length, nullptr))
      state.SkipWithError("Process failed");
    benchmark::DoNotOptimize(length);
  }
}
BENCHMARK(BM_ProcessTreeProgram);

// Calls per second (items_per_second) with 1, 2 and 4 threads, each calling
// for its own device: calls for different devices share no lock on their way.
void BM_ProcessThroughputOwnDevices(benchmark::State &state) {
  prepareHost();
  const auto device = static_cast<uint16_t>(kDevice + state.thread_index() % kThreadDevices);
  const auto request = requestPacket(device);
  std::vector<uint8_t> answer(65536);
  for (auto _ : state) {
    int32_t length = static_cast<int32_t>(answer.size());
    if (!arxmod::processCall(1, request.data(), static_cast<int32_t>(request.size()), answer.data(),
                             &length, nullptr))
      state.SkipWithError("Process failed");
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProcessThroughputOwnDevices)->Apply(arxmod::bench::throughputRuns);

void BM_DecodeTreeProgram(benchmark::State &state) {
  const auto bytes = programBytes();
  for (auto _ : state) {
    arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
    benchmark::DoNotOptimize(arxmod::decodeProgram(bytes, blob));
  }
}
BENCHMARK(BM_DecodeTreeProgram);

// The statements of a decoded program, invoked and (with `encode`) encoded.
void runStatements(benchmark::State &state, bool encode) {
  prepareHost();
  const auto bytes = programBytes();
  XLARX::ModbusTranslator translator(kDevice);
  XLARX::ENVLTransaction transaction;
  translator.begin(transaction); // loads the device's tree and map
  for (auto _ : state) {
    state.PauseTiming();
    arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
    const arxmod::Program *program = arxmod::decodeProgram(bytes, blob);
    std::vector<arxmod::PICType *> results;
    if (encode)
      for (const arxmod::PICType *item : program->items()) {
        const auto &statement = static_cast<const arxmod::Statement &>(*item);
        results.push_back(translator.invokeCapturing(statement.handle(),
                                                     statement.invocation()->method(),
                                                     statement.invocation()->argument()));
      }
    state.ResumeTiming();
    if (encode) {
      arxmod::ResultArea area;
      for (const arxmod::PICType *result : results)
        area.append(*result);
      benchmark::DoNotOptimize(area.size());
    } else {
      for (const arxmod::PICType *item : program->items()) {
        const auto &statement = static_cast<const arxmod::Statement &>(*item);
        benchmark::DoNotOptimize(translator.invokeCapturing(statement.handle(),
                                                            statement.invocation()->method(),
                                                            statement.invocation()->argument()));
      }
    }
  }
}

void BM_ExecuteTreeProgram(benchmark::State &state) { runStatements(state, false); }
BENCHMARK(BM_ExecuteTreeProgram);

void BM_EncodeTreeResults(benchmark::State &state) { runStatements(state, true); }
BENCHMARK(BM_EncodeTreeResults);

} // namespace
