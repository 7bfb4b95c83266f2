// MeterFixture: the translator chain of this program behind Process.
#include "MeterFixture.h"

#include "TreeBuilder.h"

#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "translator/ModbusTranslator.h"
#include "tree/RegisterObj.h"

namespace arxmod::test {

std::string ModbusEntries::operator()(uint32_t handle, const std::string &address,
                                      const std::string &format, const std::string &extra,
                                      const std::string &children) const {
  const std::string type =
      extra.find("RequestType") == std::string::npos ? " RequestType='" + requestType + "'" : "";
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) + "' Name='r" + std::to_string(handle) +
         "' ModbusAddress='" + address + "'" + type + " Format='" + format + "' " + extra + ">" +
         children + "</ModbusInfo>";
}

IRefPtr<ObjList> powerMeterRegisters(std::initializer_list<std::pair<uint32_t, uint32_t>> handles) {
  auto list = makeRef<ObjList>();
  addObject<ModuleObj>(*list, 0x100, 500, 2, "Power Meter");
  for (const auto &[handle, classNumber] : handles)
    addObject<RegisterObj>(*list, handle, classNumber, 0x100, "r" + std::to_string(handle));
  return list;
}

MeterFixture::MeterFixture() {
  meterDevices().database();
  FileManager::instance().setRecheckInterval(0);
  installDeviceTranslatorMaker(&XLARX::makeModbusTranslator);
  meter_.addUnit(1);
}

Answer MeterFixture::run(uint16_t device, const std::vector<Invocation> &program) {
  return callProgram(&processCall, exchange_, device, program);
}

} // namespace arxmod::test
