// ObjKind: the kind table and the element names.
#include "tree/ObjKind.h"

namespace arxmod {
namespace {

constexpr std::string_view kElementNames[kElementBitCount] = {
    "Comment",        "Descriptors",    "Security Levels", "Input Handles",   "Output Handles",
    "Setup Handles",  "Input Classes",  "Update Counter",  "Update Period",   "Input Names",
    "Value",          "Time",           "Activity Depth",  "Calendar Value",  "Profile Value",
    "Profule Names",  "Profile Labels", "Depth",           "Rollover",        "Position",
    "Alarm Rollover", "Bounds Options", "Enum Options",    "Allowed Classes", "Bool Names",
    "Bool Labels"};

constexpr uint32_t bits(std::initializer_list<ElementBit> list) {
  uint32_t mask = 0;
  for (ElementBit bit : list)
    mask |= elementMask(bit);
  return mask;
}

using enum ElementBit;
constexpr uint32_t kCommon = bits({Comment, Descriptors, SecurityLevels});
constexpr uint32_t kModule =
    kCommon | bits({InputHandles, OutputHandles, SetupHandles, InputClasses, UpdateCounter,
                    UpdatePeriod, InputNames});
constexpr uint32_t kRegister = kCommon | bits({Value, Time});
constexpr uint32_t kArray = kRegister | bits({Depth, Rollover});

constexpr ObjKindInfo kKinds[] = {
    {ObjKind::ARX, "ARXObj", "saved_as_ARX", "ARX", kCommon},
    {ObjKind::Module, "ModuleObj", "saved_as_Module", "Module", kModule},
    {ObjKind::Manager, "ManagerObj", "saved_as_Manager", "Manager", kModule},
    {ObjKind::Register, "RegisterObj", "saved_as_Register", "Register", kRegister},
    {ObjKind::Calendar, "CalendarObj", "saved_as_CalendarRegister", "Calendar Register",
     kRegister | bits({ActivityDepth, CalendarValue, ProfileValue, ProfileNames, ProfileLabels})},
    {ObjKind::ArrayRegister, "ArrayRegisterObj", "saved_as_ArrayRegister", "Array Register",
     kArray},
    {ObjKind::LogRegister, "LogRegisterObj", "saved_as_LogRegister", "Log Register",
     kArray | bits({Position})},
    {ObjKind::EventLogRegister, "EventLogRegisterObj", "saved_as_EventLogRegister",
     "Event Log Register", kArray | bits({Position, AlarmRollover})},
    {ObjKind::Bounded, "BoundedObj", "saved_as_NumericBoundedRegister", "Bounded Register",
     kRegister | bits({BoundsOptions})},
    {ObjKind::Enum, "EnumObj", "saved_as_EnumeratedRegister", "Enum Register",
     kRegister | bits({EnumOptions})},
    {ObjKind::Bool, "BoolObj", "saved_as_BooleanRegister", "Bool Register",
     kRegister | bits({BoolNames, BoolLabels})},
    {ObjKind::AddressRegister, "AddressRegisterObj", "saved_as_AddressRegister", "Address Register",
     kRegister | bits({AllowedClasses})},
};

} // namespace

std::string_view elementMessageName(ElementBit bit) {
  return kElementNames[static_cast<unsigned>(bit)];
}

const ObjKindInfo &objKindInfo(ObjKind kind) { return kKinds[static_cast<size_t>(kind)]; }

std::span<const ObjKindInfo> objKinds() { return kKinds; }

std::optional<ObjKind> objKindByName(std::string_view kindName) {
  for (const auto &info : kKinds)
    if (info.kindName == kindName)
      return info.kind;
  return std::nullopt;
}

std::optional<ObjKind> objKindBySavedAs(std::string_view keyword) {
  for (const auto &info : kKinds)
    if (info.savedAs == keyword)
      return info.kind;
  return std::nullopt;
}

} // namespace arxmod
