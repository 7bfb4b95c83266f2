// TranslationInfo and ModbusInfo: one map entry, binding a handle of the
// device tree to Modbus registers.
//
// An entry says where the value lives (address text, format, mask, register
// count), how the raw number becomes the object's value (the scaling and
// range constants, each of which may name a handle whose value is used
// instead), which texts belong to it (enumeration, configurable values and
// labels, dynamic label), and how reads and writes behave (request type,
// cache letters, setup and configuration-write flags, not-available marker,
// read-time reference, write value, reset check register).
//
// Entries are read from ModbusInfo elements (MapFileReader) and are
// read-only once their map is complete; their lists are shared by
// reference, so copy() shares them too:
//
//   IRefPtr<TranslationInfo> entry = map->find(handle);
//   if (entry && entry->scalingPresent) value = value * entry->multiplier.constant ...
#pragma once

#include "base/RefBase.h"
#include "map/DynamicLabel.h"
#include "map/EnumerationInfo.h"

#include <cstdint>
#include <string>

namespace arxmod {

// A constant, or the handle whose run-time value replaces it (handle 0: the
// constant is used).
struct ConstantOrReference {
  double constant = 0.0;
  uint32_t handle = 0;
};

// The fields of an entry, apart from the reference count.
struct TranslationFields {
  uint32_t handle = 0;
  std::string modbusAddress; // lower case, as in the file (ModbusAddress.h parses it)
  std::string name;
  std::string requestType = "R"; // "R", "RW", "W" or "CW"
  uint32_t format = 0;           // ModbusFormatCode
  uint32_t mask = 0xFFFF;
  int32_t matchPattern = -1; // masked booleans: the value that reads true; -1 any non-zero

  // Scaling (Scale, Multiplier, Offset) and range mapping (ModbusMin,
  // ModbusMax, ARXMin, ARXMax); a group is present when the file gave any
  // of its attributes.
  bool scalingPresent = false;
  bool rangePresent = false;
  ConstantOrReference scale{1.0, 0};
  ConstantOrReference multiplier{1.0, 0};
  ConstantOrReference offset;
  ConstantOrReference modbusMin;
  ConstantOrReference modbusMax;
  ConstantOrReference arxMin;
  ConstantOrReference arxMax;

  bool setupRegister = false; // SetupReg, or a handle that controls other entries
  bool configWrite = true;    // a write changes the device configuration
  std::string defaultEnumValue;
  IRefPtr<EnumerationInfo> enumeration; // own or shared; none when absent
  double writeValue = 1.0;              // written to a Pulse_Register
  std::string writeValueText;           // array entries: the comma-separated words of a write
  double checkRegister = 0.0;           // reset check register address as a number (401234)
  double checkRegValue = 0.0;           // the value that confirms the reset
  uint16_t numberOfRegisters = 1;
  bool notAvailableCheck = false;
  int32_t notAvailableValue = -1;
  bool readTimePresent = false;
  ConstantOrReference readTime; // handle: the entry holding the time stamp
  uint32_t configValueHandle = 0;
  IRefPtr<ConfigValueInfo> configValues;
  uint32_t configLabelHandle = 0;
  IRefPtr<ConfigLabelInfo> configLabels;
  IRefPtr<XLARX::DynamicLabel> dynamicLabel; // never null; inactive without an active format
  std::string cacheSpec;                     // upper case cache letters, comma-separated
};

class TranslationInfo : public RefBase, public TranslationFields {
public:
  // An entry with the defaults and a fresh, empty dynamic label.
  TranslationInfo() { dynamicLabel = makeRef<XLARX::DynamicLabel>(); }
  explicit TranslationInfo(const TranslationFields &fields) : TranslationFields(fields) {}

  // A new entry with every field of this one; lists and labels are shared.
  IRefPtr<TranslationInfo> copy() const {
    return makeRef<TranslationInfo>(static_cast<const TranslationFields &>(*this));
  }
};

// The kind of entry made for every ModbusInfo element of a map file.
class ModbusInfo : public TranslationInfo {};

} // namespace arxmod
