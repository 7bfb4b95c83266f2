// ModbusDeviceState: the process-wide dictionary of the per-device records.
#include "translator/ModbusDeviceState.h"

#include "base/DeviceRecords.h"

namespace XLARX {
namespace {

constinit arxmod::DeviceRecords<ModbusDeviceState> modbusDeviceStates;

} // namespace

ModbusDeviceState &modbusDeviceState(uint32_t deviceId) { return modbusDeviceStates.get(deviceId); }

void releaseModbusDeviceStates() { modbusDeviceStates.release(); }

} // namespace XLARX
