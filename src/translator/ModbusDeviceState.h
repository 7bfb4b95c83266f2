// ModbusDeviceState: what the Modbus level keeps of one device between
// Process calls: when the meter's clock was last synchronised.
//
// One record per device number lives from the first call for the device
// to the release at unload, in a process-wide dictionary whose lock is held
// only to find or create a record. Calls for one device may run side by
// side, so the record has a lock of its own; the time synchronisation
// holds it while it decides whether a synchronisation is due and claims it
// (ModbusTimeSync.cpp), so that two calls never both start one.
//
//   ModbusDeviceState &state = modbusDeviceState(12);
//   std::lock_guard guard(state.lock);
//   if (state.lastTimeSync == 0) ...
#pragma once

#include <cstdint>
#include <mutex>

namespace XLARX {

struct ModbusDeviceState {
  std::mutex lock;
  // Seconds since 1970-01-01 00:00 UTC of the last successful time
  // synchronisation, or the time a failed or claimed one counts as; 0 =
  // none yet. Guarded by `lock`.
  int64_t lastTimeSync = 0;
};

// The record of `deviceId`, made on first use.
ModbusDeviceState &modbusDeviceState(uint32_t deviceId);
// Destroys every record (at unload, once no call runs).
void releaseModbusDeviceStates();

} // namespace XLARX
