// Cost of one whole Process call carrying a channel message, with the
// host database's tables already cached by a first call.
#include "frame/DL_Info.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/ConfigDatabase.h"
#include "host/HostSchema.h"
#include "messages/ENVLMessage.h"
#include "messages/SimpleMessages.h"
#include "translator/TreeOnlyTranslator.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>

namespace {

std::filesystem::path makeDatabase() {
  const auto dir = std::filesystem::temp_directory_path() / "arxmod-bench";
  std::filesystem::create_directories(dir);
  const auto file = dir / "host.db";
  std::filesystem::remove(file);
  arxmod::createHostDatabase(file);
  sqlite3 *db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db,
               "INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so');"
               "INSERT INTO DeviceType VALUES(1,'MX4110',1,NULL);"
               "INSERT INTO Device(ID,Name,DeviceTypeID) VALUES(9,'meter',1);",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return file;
}

std::vector<uint8_t> channelRequest() {
  auto envelope = arxmod::makeRef<arxmod::ENVLMessage>();
  envelope->header().setFlags(0x01);
  envelope->setNodeMessage(std::make_unique<arxmod::XLUseChannelMessage>());
  arxmod::DL_Info packet;
  packet.translatorId = 1;
  packet.deviceId = 9;
  packet.data = envelope->encode();
  return packet.toBytes();
}

void BM_ProcessChannelMessage(benchmark::State &state) {
  setenv("ARXMOD_HOST_DB", makeDatabase().c_str(), 1);
  arxmod::ConfigDatabase::instance().reset();
  arxmod::installDeviceTranslatorMaker(&XLARX::makeTreeOnlyTranslator);
  const auto request = channelRequest();
  std::vector<uint8_t> answer(4096);
  for (auto _ : state) {
    int32_t length = static_cast<int32_t>(answer.size());
    const bool ok = arxmod::processCall(1, request.data(), static_cast<int32_t>(request.size()),
                                        answer.data(), &length, nullptr);
    if (!ok)
      state.SkipWithError("Process failed");
    benchmark::DoNotOptimize(length);
  }
}
BENCHMARK(BM_ProcessChannelMessage);

} // namespace
