// Calculation engines computing while other threads write the same caches,
// write to the devices' external modules, read their outputs and replace
// their module lists, as Process calls do (run under ThreadSanitizer).
#include "ModuleFixture.h"

#include "modules/EnginePool.h"
#include "types/NumericTypes.h"

#include <gtest/gtest.h>

#include <thread>

namespace XLARX::test {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kDevices = 4;
constexpr int kRounds = 1000;
constexpr uint32_t kSource = 0x10;
constexpr uint32_t kMinimum = 0x101;
constexpr uint32_t kAverage = 0x201;
constexpr uint32_t kNumber = 0x301;

struct Device {
  Device(uint32_t id, arxmod::ManualClock &clock) : f(id, &clock) {
    f.addRegister(kSource, 25, "Vln a");
    f.addExtremum(0x100, 511, {kSource});
    f.addAveraging(0x200, {kSource}, "RMS Mode");
    f.addExternal(0x300, 546);
    f.device();
  }
  ModuleFixture f;
};

TEST(EngineConcurrent, EnginesComputeWhileCallsWriteReadAndReplaceModules) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  std::vector<std::unique_ptr<Device>> devices;
  for (uint32_t id = 1; id <= kDevices; ++id)
    devices.push_back(std::make_unique<Device>(id, clock));
  CalculationEnginePool::Options options;
  options.threadSetting = [] { return std::string("2"); };
  options.deviceEnabled = [](uint32_t, bool) { return true; };
  CalculationEnginePool pool(options);
  for (auto &device : devices)
    pool.addDevice(device->f.kernel(device->f.buildList()));

  std::atomic<bool> done{false};
  std::thread stepper([&] {
    while (!done) {
      clock.advance(1000ms);
      std::this_thread::yield();
    }
  });
  // Sources fall round by round, so each device's minimum ends at the last value.
  auto writer = [&](uint32_t first) {
    arxmod::MemoryBlob blob(4096);
    for (int round = 0; round < kRounds; ++round)
      for (uint32_t id = first; id <= kDevices; id += 2) {
        Device &device = *devices[id - 1];
        device.f.setValue(kSource, 1000.0 - round);
        pool.controlWrite(id, kNumber, *blob.make<arxmod::Float64Type>(round));
        for (const uint32_t output : {kMinimum, kAverage, kNumber})
          device.f.device()->cache->readCached(output, 21, blob.make<arxmod::VoidType>(),
                                               kCacheRefreshable);
      }
  };
  std::thread evenWriter(writer, 2);
  std::thread oddWriter(writer, 1);
  std::thread replacer([&] {
    for (int round = 0; round < kRounds / 10; ++round)
      for (auto &device : devices) {
        pool.addDevice(device->f.kernel(device->f.buildList()));
        if (round % 7 == 3)
          pool.removeDevice(device->f.deviceId());
      }
  });
  replacer.join();
  evenWriter.join();
  oddWriter.join();
  done = true;
  stepper.join();
  pool.stop();

  for (auto &device : devices) {
    SCOPED_TRACE(device->f.deviceId());
    const auto list = device->f.buildList();
    device->f.pass(*list);
    EXPECT_EQ(device->f.number(kMinimum), 1000.0 - (kRounds - 1));
  }
}

} // namespace
} // namespace XLARX::test
