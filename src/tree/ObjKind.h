// ObjKind: the twelve kinds of tree object, with the names each file form
// gives them and the optional elements each kind may carry.
//
// The kind decides how an object is stored and written (which attributes it
// has); its class number decides what the protocol calls it. The XML reader
// checks elements against the kind's allowed set, so the set lives beside
// the names instead of in each reader.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace arxmod {

enum class ObjKind {
  ARX,
  Module,
  Manager,
  Register,
  Calendar,
  ArrayRegister,
  LogRegister,
  EventLogRegister,
  Bounded,
  Enum,
  Bool,
  AddressRegister,
};

// Presence bits of the optional child elements of an XML object element, in
// bit order (the order in which an invalid element is reported).
enum class ElementBit : uint8_t {
  Comment,
  Descriptors,
  SecurityLevels,
  InputHandles,
  OutputHandles,
  SetupHandles,
  InputClasses,
  UpdateCounter,
  UpdatePeriod,
  InputNames,
  Value,
  Time,
  ActivityDepth,
  CalendarValue,
  ProfileValue,
  ProfileNames,
  ProfileLabels,
  Depth,
  Rollover,
  Position,
  AlarmRollover,
  BoundsOptions,
  EnumOptions,
  AllowedClasses,
  BoolNames,
  BoolLabels,
};
inline constexpr unsigned kElementBitCount = 26;

constexpr uint32_t elementMask(ElementBit bit) { return uint32_t{1} << static_cast<unsigned>(bit); }
// The element's name in messages ("Input Handles").
std::string_view elementMessageName(ElementBit bit);

struct ObjKindInfo {
  ObjKind kind;
  std::string_view kindName;    // "ModuleObj": XML t:SA and kindName()
  std::string_view savedAs;     // "saved_as_Module": text block keyword
  std::string_view messageName; // "Module": kind in XML reader messages
  uint32_t allowedElements;     // mask of ElementBit
};

const ObjKindInfo &objKindInfo(ObjKind kind);
std::span<const ObjKindInfo> objKinds();
std::optional<ObjKind> objKindByName(std::string_view kindName);
std::optional<ObjKind> objKindBySavedAs(std::string_view keyword);

constexpr bool isModuleKind(ObjKind kind) {
  return kind == ObjKind::Module || kind == ObjKind::Manager;
}

} // namespace arxmod
