// Cost of Process calls on mapped devices, against a simulated meter in this
// process:
//   BM_ProcessMappedWarmReads            100 mapped reads, every one answered
//                                        from a warm cache (no device traffic)
//   BM_ProcessThroughputOwnDevicesMapped the same call with 1, 2 and 4
//                                        threads, each on its own device
//   BM_ProcessRefresh300                 a call whose refresh reads all 300
//                                        entries of a map; the meter's own
//                                        time is left out, and the messages
//                                        sent per call are reported
//   BM_CacheMemoryPerHandle              heap bytes per cached handle, before
//                                        and after a value is stored
#include "ProgramRequest.h"
#include "base/Clock.h"
#include "cache/CacheBuild.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/ConfigDatabase.h"
#include "host/HostSchema.h"
#include "map/MapFile.h"
#include "sim/SimExchange.h"
#include "translator/ModbusTranslator.h"
#include "tree/RegisterObj.h"
#include "tree/TextTree.h"
#include "types/NumericTypes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <sqlite3.h>

namespace {

using arxmod::sim::RegisterBank;
using arxmod::sim::Table;

constexpr uint16_t kWarmDevice = 20; // devices 20 to 23: 100 cached registers each
constexpr uint16_t kWarmDevices = 4;
constexpr uint16_t kRefreshDevice = 30; // 300 setup registers
constexpr uint32_t kWarmValues = 100;
constexpr uint32_t kRefreshValues = 300;
constexpr uint32_t kFirstHandle = 0x101;

// Module 0x100 with `count` numeric registers from kFirstHandle.
std::string treeText(uint32_t count) {
  auto list = arxmod::makeRef<arxmod::ObjList>();
  list->insert(std::make_unique<arxmod::ModuleObj>(0x100, 500, 2, "Power Meter"));
  for (uint32_t i = 0; i < count; ++i)
    list->insert(std::make_unique<arxmod::RegisterObj>(kFirstHandle + i, 23, 0x100,
                                                       "r" + std::to_string(i)));
  return arxmod::textTreeString(*list);
}

// `count` registers from 400001 in `format`, each with `extra` attributes.
std::string mapText(uint32_t count, const std::string &device, const std::string &extra) {
  std::string map = "<Map>" + device;
  for (uint32_t i = 0; i < count; ++i)
    map += "<ModbusInfo ARXHandle='" + std::to_string(kFirstHandle + i) + "' Name='r" +
           std::to_string(i) + "' ModbusAddress='" + std::to_string(400001 + i) +
           "' RequestType='R' Format='UINT16' Scale='10' " + extra + "/>";
  return map + "</Map>";
}

// A host database for the warm devices and the refresh device, their files,
// the Modbus translator installed, and the meter every device talks to.
struct Host {
  arxmod::sim::SimulatedMeter meter;
  std::unique_ptr<arxmod::sim::SimExchange> exchange;

  Host() {
    const auto dir = std::filesystem::temp_directory_path() / "arxmod-mapped-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "translators" / "override");
    // Each warm device has a tree file of its own, as a host gives every
    // meter; the map of their device type is shared.
    for (uint16_t device = kWarmDevice; device < kWarmDevice + kWarmDevices; ++device)
      std::ofstream(dir / "translators" / ("warm" + std::to_string(device) + ".dat"))
          << treeText(kWarmValues);
    std::ofstream(dir / "translators" / "refresh.dat") << treeText(kRefreshValues);
    // Values served while younger than 900 s and never refreshed for age.
    std::ofstream(dir / "translators" / "warm.xml")
        << mapText(kWarmValues, "<DeviceInfo HighSpeedUpdateRate='900'/>", "CacheSpec='D'");
    // Setup registers: every one in the high-speed group of 5 s.
    std::ofstream(dir / "translators" / "refresh.xml")
        << mapText(kRefreshValues, "<DeviceInfo HighSpeedUpdateRate='5'/>", "SetupReg='1'");
    const auto file = dir / "host.db";
    arxmod::createHostDatabase(file);
    std::string sql = "INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so');"
                      "INSERT INTO DeviceType VALUES(1,'warm',1,'warm.xml'),"
                      "(2,'refresh',1,'refresh.xml');"
                      "INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(" +
                      std::to_string(kRefreshDevice) + ",'refresh',2,'refresh.dat')";
    for (uint16_t device = kWarmDevice; device < kWarmDevice + kWarmDevices; ++device)
      sql += ",(" + std::to_string(device) + ",'warm" + std::to_string(device) + "',1,'warm" +
             std::to_string(device) + ".dat')";
    sql += ";INSERT INTO HostSetting VALUES('TranslatorDirectory','" +
           (dir / "translators").string() + "'),('TranslatorOverrideDirectory','" +
           (dir / "translators" / "override").string() + "');";
    sqlite3 *db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    setenv("ARXMOD_HOST_DB", file.c_str(), 1);
    arxmod::ConfigDatabase::instance().reset();
    arxmod::installDeviceTranslatorMaker(&XLARX::makeModbusTranslator);
    meter.addUnit(1, [](RegisterBank &bank) {
      bank.map(Table::HoldingRegisters, 0, kRefreshValues);
      for (uint16_t offset = 0; offset < kRefreshValues; ++offset)
        bank.set(Table::HoldingRegisters, offset, 2300 + offset);
    });
    exchange = std::make_unique<arxmod::sim::SimExchange>(meter, 1);
  }
};

Host &host() {
  static Host made;
  return made;
}

// The request packet of a program reading method `method` of `count`
// handles from kFirstHandle on `device`.
std::vector<uint8_t> requestPacket(uint16_t device, uint32_t count, uint32_t method) {
  std::vector<arxmod::bench::HandleMethod> statements;
  for (uint32_t i = 0; i < count; ++i)
    statements.emplace_back(kFirstHandle + i, method);
  return arxmod::bench::executeRequest(device, arxmod::bench::programBytes(statements));
}

bool call(const std::vector<uint8_t> &request, std::vector<uint8_t> &answer,
          ArxExchangeCallback callback) {
  int32_t length = static_cast<int32_t>(answer.size());
  const bool ok =
      arxmod::processCall(host().exchange->context(), request.data(),
                          static_cast<int32_t>(request.size()), answer.data(), &length, callback);
  benchmark::DoNotOptimize(length);
  return ok && length > 0;
}

// Calls on one warm device; the first (before timing) fills its cache.
void warmReads(benchmark::State &state, uint16_t device) {
  const auto request = requestPacket(device, kWarmValues, 21);
  std::vector<uint8_t> answer(65536);
  if (!call(request, answer, arxmod::sim::SimExchange::callback()))
    state.SkipWithError("the call filling the cache failed");
  const uint64_t sent = host().meter.requestCount(1);
  for (auto _ : state)
    if (!call(request, answer, arxmod::sim::SimExchange::callback()))
      state.SkipWithError("Process failed");
  state.counters["meter_requests"] = static_cast<double>(host().meter.requestCount(1) - sent);
  state.SetItemsProcessed(state.iterations());
}

void BM_ProcessMappedWarmReads(benchmark::State &state) { warmReads(state, kWarmDevice); }
BENCHMARK(BM_ProcessMappedWarmReads);

// Calls per second (items_per_second) with 1, 2 and 4 threads, each reading
// the 100 cached values of its own device.
void BM_ProcessThroughputOwnDevicesMapped(benchmark::State &state) {
  host();
  warmReads(state, static_cast<uint16_t>(kWarmDevice + state.thread_index() % kWarmDevices));
}
BENCHMARK(BM_ProcessThroughputOwnDevicesMapped)->Apply(arxmod::bench::throughputRuns);

// The exchange callback with the meter's time measured, so it can be left
// out of the call's.
std::chrono::nanoseconds meterTime{0};
void timedExchange(uint32_t context, const uint8_t *packet, int32_t packetLength, uint8_t *reply,
                   int32_t *replyLength) {
  const auto start = std::chrono::steady_clock::now();
  arxmod::sim::SimExchange::callback()(context, packet, packetLength, reply, replyLength);
  meterTime += std::chrono::steady_clock::now() - start;
}

void BM_ProcessRefresh300(benchmark::State &state) {
  host();
  // The clock moves past the high-speed period before each call, so every
  // call refreshes the whole map; it only ever moves forward, across the
  // runs the benchmark library makes too.
  static arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  const auto request = requestPacket(kRefreshDevice, 1, 2); // one name read from the tree
  std::vector<uint8_t> answer(65536);
  const uint64_t sentBefore = host().meter.requestCount(1);
  for (auto _ : state) {
    clock.advance(std::chrono::milliseconds(5001));
    meterTime = {};
    const auto start = std::chrono::steady_clock::now();
    if (!call(request, answer, &timedExchange))
      state.SkipWithError("Process failed");
    const auto spent = std::chrono::steady_clock::now() - start - meterTime;
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  const double messages = static_cast<double>(host().meter.requestCount(1) - sentBefore) /
                          static_cast<double>(state.iterations());
  // 300 consecutive registers in reads of at most 125: 125 + 125 + 50.
  constexpr double kFewestMessages = (kRefreshValues + 124) / 125;
  state.counters["messages_per_call"] = messages;
  state.counters["fewest_messages"] = kFewestMessages;
  if (messages != kFewestMessages)
    state.SkipWithError("more messages than the grouping rules need");
}
BENCHMARK(BM_ProcessRefresh300)->UseManualTime();

size_t heapInUse() { return mallinfo2().uordblks; }

// Heap per handle of a cache of 10,000 cached registers: the cache alone,
// and with a number stored in every value.
void BM_CacheMemoryPerHandle(benchmark::State &state) {
  constexpr uint32_t kHandles = 10000;
  const auto map = arxmod::readMapBytes(mapText(kHandles, "", "CacheSpec='C'"), "memory.xml");
  auto list = arxmod::makeRef<arxmod::ObjList>();
  auto tree = arxmod::makeRef<arxmod::TranslationTree>(list);
  arxmod::MemoryBlob blob(4096);
  const auto *value = blob.make<arxmod::Float64Type>(230.5);
  for (auto _ : state) {
    const size_t before = heapInUse();
    auto cache = XLARX::buildCache(*map, tree, "meter", 1);
    const size_t built = heapInUse();
    XLARX::PendingReads pending(cache);
    for (uint32_t i = 0; i < kHandles; ++i) {
      cache->markPending(kFirstHandle + i, pending);
      cache->finishRead(kFirstHandle + i, value, 1.0, 1);
      pending.pop();
    }
    const size_t stored = heapInUse();
    state.counters["bytes_per_handle"] = static_cast<double>(built - before) / kHandles;
    state.counters["bytes_per_handle_with_value"] = static_cast<double>(stored - before) / kHandles;
  }
}
BENCHMARK(BM_CacheMemoryPerHandle)->Iterations(1);

} // namespace
