// SoakMeters: the soak's meters, their device files and the value checks.
#include "SoakMeters.h"

#include "ModuleFixture.h"
#include "tree/TextTree.h"

#include <cmath>
#include <fstream>

namespace arxmod::test::soak {
namespace {

using sim::RegisterBank;
using sim::Table;

constexpr uint16_t kCounterOffset = 1000; // 401001, 401002; the setpoint 401003 follows

std::string mapBody(int variant) {
  return "<ModbusInfo ARXHandle='16' Name='Vln a' ModbusAddress='401001' RequestType='R' "
         "Format='UINT32'/>"
         "<ModbusInfo ARXHandle='17' Name='Setpoint' ModbusAddress='401003' RequestType='RW' "
         "Format='UINT16'/>"
         "<CalcInfo ARXHandle='512'/><CalcInfo ARXHandle='1280'/><CalcInfo ARXHandle='1536'/>"
         "<DeviceInfo LowSpeedUpdateRate='" +
         std::to_string(30 + variant % 10) + "'/>";
}

IRefPtr<ObjList> soakTree() {
  ManualClock unused; // the fixture stamps nothing here; the soak runs on the wall clock
  XLARX::test::ModuleFixture tree(1, &unused);
  tree.addRegister(kCounter, 25, "Vln a");
  tree.addRegister(kSetpoint, 23, "Setpoint");
  tree.addExtremum(0x200, 511, {kCounter});
  tree.addPeriodicTimer(0x500, "1u", "No Trig on Sync");
  tree.addDataRecorder(0x600, {kCounter}, "64u", 0, 0x501);
  return retainRef(tree.objects());
}

} // namespace

std::filesystem::path soakDataDirectory() {
  static const std::filesystem::path directory = [] {
    TempHostDatabase &database = meterDevices().database();
    const auto data = database.directory() / "data";
    database.exec("DELETE FROM HostSetting WHERE Name='DataDirectory'");
    database.exec("INSERT INTO HostSetting VALUES('DataDirectory','" + data.string() + "')");
    return data;
  }();
  return directory;
}

std::optional<double> numberOf(const std::string &text) {
  char *end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

SoakMeters::SoakMeters(int count) : tree_(soakTree()), treeText_(textTreeString(*tree_)) {
  soakDataDirectory(); // before a recorder of these devices makes the log buffer
  for (int i = 0; i < count; ++i) {
    meter_.addUnit(unit(i), [](RegisterBank &bank) {
      sim::addMeterBehaviour(bank, {});
      bank.map(Table::HoldingRegisters, kCounterOffset, 3);
      bank.setRange(Table::HoldingRegisters, kCounterOffset,
                    std::vector<uint16_t>{1, scramble(1), kSetpointFirst});
    });
    Device device;
    device.number = meterDevices().add(*tree_, mapBody(0), "soak " + std::to_string(i));
    device.exchange = std::make_unique<sim::SimExchange>(meter_, unit(i));
    device.newest = std::make_unique<std::atomic<uint32_t>>(1);
    devices_.push_back(std::move(device));
  }
}

SoakMeters::~SoakMeters() = default;

uint64_t SoakMeters::meterRequests() const {
  uint64_t requests = 0;
  for (int i = 0; i < count(); ++i)
    requests += meter_.requestCount(unit(i));
  return requests;
}

void SoakMeters::stepCounter(int index) {
  std::atomic<uint32_t> &newest = *devices_.at(static_cast<size_t>(index)).newest;
  const uint32_t k = newest.load();
  if (k >= 0xFFFF)
    return;
  // Published before the meter holds it: a reader that sees the new value
  // always finds it at or below the newest.
  newest.store(k + 1);
  meter_.withUnit(unit(index), [&](RegisterBank &bank) {
    const auto next = static_cast<uint16_t>(k + 1);
    bank.setRange(Table::HoldingRegisters, kCounterOffset,
                  std::vector<uint16_t>{next, scramble(next)});
  });
}

bool SoakMeters::heldCounter(int index, double value) const {
  if (value < 0 || value > 0xFFFFFFFF || value != std::floor(value))
    return false;
  const auto raw = static_cast<uint32_t>(value);
  const auto k = static_cast<uint16_t>(raw >> 16);
  return k >= 1 && raw == counterValue(k) &&
         k <= devices_.at(static_cast<size_t>(index)).newest->load();
}

Verdict SoakMeters::checkCounter(int index, const std::string &text) const {
  if (const auto value = numberOf(text))
    return heldCounter(index, *value) ? Verdict::Held : Verdict::Wrong;
  return text.rfind("ExceptionType { 5u", 0) == 0 ? Verdict::NotAvailable : Verdict::Wrong;
}

Verdict SoakMeters::checkSetpoint(const std::string &text) const {
  if (const auto value = numberOf(text))
    return *value >= kSetpointFirst && *value < kSetpointFirst + kSetpointCount &&
                   *value == std::floor(*value)
               ? Verdict::Held
               : Verdict::Wrong;
  return text.rfind("ExceptionType { 5u", 0) == 0 ? Verdict::NotAvailable : Verdict::Wrong;
}

void SoakMeters::replaceMap(int index, int variant) {
  replaceFile(meterDevices().database().translatorDirectory() /
                  ("map" + std::to_string(device(index)) + ".xml"),
              mapDocument(mapBody(variant)));
}

void SoakMeters::replaceTree(int index) {
  replaceFile(meterDevices().database().translatorDirectory() /
                  ("tree" + std::to_string(device(index)) + ".dat"),
              treeText_);
}

void SoakMeters::replaceFile(const std::filesystem::path &path, const std::string &content) {
  auto next = path;
  next += ".new";
  std::ofstream(next, std::ios::binary | std::ios::trunc) << content;
  std::filesystem::last_write_time(next, std::filesystem::last_write_time(path) +
                                             std::chrono::seconds(1));
  std::filesystem::rename(next, path);
}

} // namespace arxmod::test::soak
