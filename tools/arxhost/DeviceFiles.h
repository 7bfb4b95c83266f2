// DeviceFiles: a device's tree and map as the plug-in finds them (through
// the host database and the translator directories), loaded in this
// process for what the host tool shows beside the values: which handles
// are mapped, their names and their units.
//
// Units are not part of the object model; the tool takes them from a
// descriptor of the register's tree object that starts with "Units:"
// (<t:Ds><t:D>Units: V</t:D></t:Ds>).
#pragma once

#include "HostDatabase.h"
#include "map/TranslationMap.h"
#include "tree/TranslationTree.h"

#include <cstdint>
#include <string>
#include <vector>

namespace arxhost {

class DeviceFiles {
public:
  // Loads the device's tree and map; ToolError naming the device and what
  // failed when either cannot be loaded.
  static DeviceFiles load(HostDatabase &database, const DeviceEntry &device);
  // Loads the tree alone; an empty view when it cannot be loaded (units and
  // names are then unknown).
  static DeviceFiles loadTreeIfPossible(HostDatabase &database, const DeviceEntry &device);

  // The handles the map binds to registers that can be read ("R" or "RW")
  // and that the tree holds, in map file order.
  std::vector<uint32_t> readableHandles() const;
  // The object's name; "" when the tree lacks it.
  std::string name(uint32_t handle) const;
  // The object's units; "" when it has none.
  std::string units(uint32_t handle) const;

private:
  arxmod::IRefPtr<arxmod::TranslationTree> tree_;
  arxmod::IRefPtr<arxmod::TranslationMap> map_;
};

// Reads a handle as the user writes it: decimal (272) or hexadecimal
// (0x110); ToolError otherwise.
uint32_t parseHandle(const std::string &text);

} // namespace arxhost
