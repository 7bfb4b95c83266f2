// DeviceTree: a small device tree with one object of every kind, the
// fixture of the translator tests (in code) and of the plug-in tests (as a
// text tree file).
#pragma once

#include "tree/ObjList.h"
#include "types/PICType.h"

#include <string>

namespace arxmod::test {

// Handles: 0x10 manager, 0x100 Minimum module with label and security
// table, 0x101 numeric register (value 230.5), 0x102 boolean "Enable"
// (true, on name "RUN"), 0x103 boolean "Reset" (0, no texts), 0x104
// enumeration, 0x105 bounded register, 0x106 calendar, 0x107 array, 0x108
// log, 0x109 event log, 0x10A address register, 0x10B register without
// value, 0x20 a plain ARX object, 0x30 a module with nothing optional set.
IRefPtr<ObjList> makeDeviceTree();

// The text form of a value folded onto one line ("ExceptionType { 9u void ... }").
std::string oneLineText(const PICType &value);

} // namespace arxmod::test
