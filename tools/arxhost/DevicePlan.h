// DevicePlan: the Modbus messages that one read of every mapped handle of a
// device sends when nothing is cached, as the device's own translator
// places them, with the handles each message answers and why it ends where
// it does. `arxhost plan` prints it; the reasons come from the placement
// itself (modbus/MessagePlan.h), never from a second copy of its rules.
//
// The translator runs in this process on the device's tree and map files,
// found through the host database as the plug-in finds them; nothing is
// sent to the meter.
#pragma once

#include "HostDatabase.h"
#include "modbus/MessagePlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace arxhost {

struct PlannedRead {
  XLARX::PlannedMessage message;
  uint32_t unit = 0;             // the unit it goes to (the device's when the map names none)
  std::vector<uint32_t> handles; // the handles whose reads it answers, in request order
};

struct DevicePlan {
  std::vector<PlannedRead> messages;
  size_t handles = 0;          // mapped handles that are read
  uint16_t maxRegisters = 0;   // MaxRequestRegisters of the map (0: none)
  bool scatteredReads = false; // ScatteredReadSupported of the map
};

// ToolError naming the device when its files cannot be loaded.
DevicePlan planDevice(HostDatabase &database, const DeviceEntry &device);

// The register address in the map's notation: class digit and the 1-based
// register number in five digits ("401001", "000001").
std::string mapAddressText(uint8_t registerClass, uint16_t offset);

} // namespace arxhost
