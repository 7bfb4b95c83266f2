// The real plug-in unloaded while its calculation thread runs a device's
// modules and its log buffer's save thread waits to save the data log the
// device's recorder fills: the unload stops both, saves what was recorded,
// and leaves a whole file, which the next load restores and goes on
// filling.
#include "DataLogFile.h"
#include "SoakMeters.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace arxmod::test::soak {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kRecordComplete = 0x604; // counts the recorder's records
constexpr auto kRecordsWait = 20s;          // real time for the engine's one-second passes

uint32_t lastSequence(const DataLogContent &log) {
  uint32_t last = 0;
  for (const LoggedRecord &record : log.records)
    last = std::max(last, record.sequence);
  return last;
}

TEST(PluginUnloadConcurrentTest, UnloadWhileEngineAndSaveThreadRunKeepsTheLogAndReloadGoesOn) {
  setenv("ARXMOD_FILE_RECHECK_MS", "0", 1);
  SoakMeters meters(1);
  char name[32];
  std::snprintf(name, sizeof name, "%08x%08x.arx", unsigned{meters.device(0)}, kDataLog);
  const auto file = soakDataDirectory() / "translators" / "logs" / name;

  uint32_t before = 0;
  for (int load = 1; load <= 2; ++load) {
    SCOPED_TRACE(load);
    void *plugin = dlopen(ARXMOD_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    auto *entry = reinterpret_cast<decltype(&::Process)>(dlsym(plugin, "Process"));
    ASSERT_NE(entry, nullptr);
    const ProcessFunction process = [entry](uint32_t context, const uint8_t *request,
                                            int32_t requestLength, uint8_t *answer,
                                            int32_t *answerLength, ArxExchangeCallback callback) {
      return entry(context, request, requestLength, answer, answerLength, callback) != 0;
    };
    auto recordsTaken = [&] {
      return callProgram(process, meters.exchange(0), meters.device(0),
                         {{kCounter, 21}, {kRecordComplete, 21}})
          .results;
    };
    // Calls until the recorder has taken two records in this load.
    const auto deadline = std::chrono::steady_clock::now() + kRecordsWait;
    const std::vector<std::string> first = recordsTaken();
    ASSERT_EQ(first.size(), 2u);
    int changes = 0;
    for (std::string seen = first[1]; changes < 2 && std::chrono::steady_clock::now() < deadline;) {
      std::this_thread::sleep_for(50ms);
      meters.stepCounter(0);
      const std::vector<std::string> now = recordsTaken();
      ASSERT_EQ(now.size(), 2u);
      EXPECT_EQ(meters.checkCounter(0, now[0]), Verdict::Held) << now[0];
      if (now[1] != seen) {
        seen = now[1];
        ++changes;
      }
    }
    ASSERT_EQ(changes, 2) << "the recorder took no records";

    ASSERT_EQ(dlclose(plugin), 0) << dlerror();
    EXPECT_EQ(dlopen(ARXMOD_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the plug-in stayed loaded";
    const DataLogContent log = readDataLog(file);
    EXPECT_EQ(log.fault, "");
    EXPECT_GT(lastSequence(log), before) << "the records of this load were not saved";
    for (const LoggedRecord &record : log.records) {
      const LoggedValue &counter = record.values.at(0);
      EXPECT_TRUE(counter.type == kNotAvailableValue || meters.heldCounter(0, counter.value))
          << record.sequence;
    }
    before = lastSequence(log);
  }
}

} // namespace
} // namespace arxmod::test::soak
