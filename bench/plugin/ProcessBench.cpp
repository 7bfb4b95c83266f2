// Cost of one whole Process call carrying a channel message, with the
// host database's tables, the device's tree and its map already cached by
// a first call.
#include "frame/DL_Info.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/ConfigDatabase.h"
#include "host/HostSchema.h"
#include "messages/ENVLMessage.h"
#include "messages/SimpleMessages.h"
#include "translator/ModbusTranslator.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>

namespace {

// A host database whose device 9 has a one-object tree and a map that maps
// nothing, both in the translator directory.
std::filesystem::path makeDatabase() {
  const auto dir = std::filesystem::temp_directory_path() / "arxmod-bench";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "meter.dat") << "saved_as_ARX 0x7 classid = ARX name = <5>meter";
  std::ofstream(dir / "meter.xml") << "<Map/>";
  const auto file = dir / "host.db";
  std::filesystem::remove(file);
  arxmod::createHostDatabase(file);
  sqlite3 *db = nullptr;
  sqlite3_open(file.c_str(), &db);
  const std::string sql =
      "INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so');"
      "INSERT INTO DeviceType VALUES(1,'MX4110',1,'meter.xml');"
      "INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(9,'meter',1,'meter.dat');"
      "INSERT INTO HostSetting VALUES('TranslatorDirectory','" +
      dir.string() + "'),('TranslatorOverrideDirectory','" + dir.string() + "');";
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
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
  arxmod::installDeviceTranslatorMaker(&XLARX::makeModbusTranslator);
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
