// MeterTranslatorFixture: the meter translator behind Process, the meter
// with its behaviour, and the fixture's device.
#include "MeterTranslatorFixture.h"

#include "TreeBuilder.h"
#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "meter/MX4110_4120Translator.h"
#include "sim/Fault.h"
#include "tree/RegisterObj.h"

namespace arxmod::test {

using sim::RegisterBank;
using sim::Table;

namespace {

std::string readEntry(uint32_t handle, const std::string &name, const std::string &address,
                      const std::string &format) {
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) + "' Name='" + name +
         "' ModbusAddress='" + address + "' RequestType='R' Format='" + format + "'/>";
}

} // namespace

std::string meterMap(const std::string &deviceInfo) {
  return deviceInfo + readEntry(XLARX::kLeadLagHandle, "PF Lead Lag", "401023", "IEEEFLOAT") +
         readEntry(0x09D00001, "Current Phase A", "401007", "UINT16") +
         readEntry(0x0A20000A, "Voltage Phase BN", "401002", "UINT16");
}

MeterTranslatorFixture::MeterTranslatorFixture() {
  meterDevices().database();
  FileManager::instance().setRecheckInterval(0);
  installDeviceTranslatorMaker(&XLARX::makeMX4110_4120Translator);
  resetMeter();
}

void MeterTranslatorFixture::resetMeter(sim::MeterOptions options) {
  meter_.addUnit(1, [&](RegisterBank &bank) {
    bank = RegisterBank();
    behaviour_ = sim::addMeterBehaviour(bank, std::move(options));
    bank.map(Table::HoldingRegisters, 1000, 30); // 401001..401030
    commands_ = logAccesses(bank, Table::HoldingRegisters, sim::meter::kCommandBlock, 128);
  });
  meter_.clearFaults(1);
}

uint16_t MeterTranslatorFixture::addMeterDevice(const std::string &name,
                                                const std::string &deviceInfo,
                                                const std::string &customProperty1) {
  auto tree = makeRef<ObjList>();
  addObject<ModuleObj>(*tree, 0x100, 500, 2, "Power Meter");
  addObject<RegisterObj>(*tree, 0x0B200006, 47, 0x100, "PF Lead Lag");
  addObject<RegisterObj>(*tree, 0x09D00001, 23, 0x100, "I a").setLabel("Current A");
  addObject<RegisterObj>(*tree, 0x0A20000A, 23, 0x100, "Vln b");
  const uint16_t device = meterDevices().add(*tree, meterMap(deviceInfo), name);
  if (!customProperty1.empty())
    meterDevices().database().exec("UPDATE Device SET CustomProperty1='" + customProperty1 +
                                   "' WHERE ID=" + std::to_string(device));
  return device;
}

Answer MeterTranslatorFixture::run(uint16_t device, const std::vector<Invocation> &program) {
  return callProgram(&processCall, exchange_, device, program);
}

void MeterTranslatorFixture::inject(const std::string &fault) {
  meter_.inject(1, sim::parseFaultSpec(fault).fault);
}

std::vector<LoggedAccess> MeterTranslatorFixture::commandTraffic() {
  std::vector<LoggedAccess> traffic;
  meter_.withUnit(1, [&](RegisterBank &) { traffic = commands_->accesses; });
  return traffic;
}

} // namespace arxmod::test
