// MeterFixture: the translator chain of this program behind Process.
#include "MeterFixture.h"

#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "translator/ModbusTranslator.h"

namespace arxmod::test {

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
