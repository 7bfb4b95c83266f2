// XLARX::ARXMethodInvoker: the answers of every object class.
#include "translator/ARXMethodInvoker.h"

#include "translator/InvocationErrors.h"
#include "tree/ClassTable.h"
#include "types/StructureArrays.h"
#include "types/TextParser.h"

#include <algorithm>
#include <array>
#include <span>

namespace XLARX {

using arxmod::MemoryBlob;
using arxmod::PICType;

namespace {

// Write methods of each class, which have security level 1 when the object
// has no security table of its own.
constexpr std::array<uint32_t, 2> kRegisterWrites{22, 128};
constexpr std::array<uint32_t, 4> kBoolWrites{22, 128, 500, 501};
constexpr std::array<uint32_t, 2> kModuleWrites{128, 1001};
constexpr std::array<uint32_t, 3> kManagerWrites{128, 1500, 1501};

PICType *refuse(PICType *argument, uint32_t code) {
  return exceptionResult(argument->blob(), code);
}

PICType *number(PICType *argument, uint32_t value) {
  return argument->blob().make<arxmod::UnsignedType>(value);
}

PICType *truth(PICType *argument, bool value) {
  return argument->blob().make<arxmod::BooleanType>(value ? 1u : 0u);
}

PICType *text(PICType *argument, std::string_view value) {
  return arxmod::makeString(argument->blob(), value);
}

PICType *handles(PICType *argument, const std::optional<std::vector<uint32_t>> &list) {
  if (!list)
    return refuse(argument, ExceptNoData);
  return argument->blob().make<arxmod::Uint32Array>(std::span<const uint32_t>(*list));
}

PICType *texts(PICType *argument, const std::optional<std::vector<std::string>> &list) {
  if (!list)
    return refuse(argument, ExceptNoData);
  auto *result = argument->blob().make<arxmod::StringArrayType>();
  for (const std::string &entry : *list)
    result->append(entry);
  return result;
}

// A value kept as text in the tree, parsed into the argument's arena.
PICType *storedValue(PICType *argument, const std::optional<std::string> &valueText) {
  if (!valueText)
    return refuse(argument, ExceptNoData);
  return arxmod::parsePICText(*valueText, argument->blob());
}

// The argument as an unsigned number; nothing for any other type.
std::optional<uint32_t> unsignedArgument(PICType *argument) {
  if (const auto *value = dynamic_cast<const arxmod::UnsignedType *>(argument))
    return value->asUnsigned();
  return std::nullopt;
}

PICType *securityPair(MemoryBlob &blob, uint32_t method, uint32_t level) {
  auto *pair = blob.make<arxmod::MethodSecurityType>();
  pair->setField(0, blob.make<arxmod::UnsignedType>(method));
  pair->setField(1, blob.make<arxmod::UnsignedType>(level));
  return pair;
}

// Methods 129 (one level) and 130 (the whole table). Without a table of its
// own, an object of a class with `defaults` answers from them; an object of
// any other class has level 0 everywhere and no table to show.
PICType *security(const arxmod::ARXObj &object, uint32_t method, PICType *argument,
                  std::span<const uint32_t> defaults) {
  MemoryBlob &blob = argument->blob();
  const auto &table = object.securityLevels();
  if (method == 129) {
    const auto asked = unsignedArgument(argument);
    if (!asked)
      return exceptionResult(blob, ExceptWrongArgument, argument);
    if (table) {
      const auto level = table->find(*asked);
      return number(argument, level == table->end() ? 0 : level->second);
    }
    if (defaults.empty())
      return number(argument, 0);
    if (std::ranges::find(defaults, *asked) != defaults.end())
      return number(argument, 1);
    return exceptionResult(blob, ExceptWrongArgument, argument);
  }
  if (!table && defaults.empty())
    return refuse(argument, ExceptNoData);
  auto *result = blob.make<arxmod::MethodSecurityArrayType>();
  if (table)
    for (const auto &[secured, level] : *table)
      result->appendItem(securityPair(blob, secured, level));
  else
    for (const uint32_t secured : defaults)
      result->appendItem(securityPair(blob, secured, 1));
  return result;
}

// A text of a boolean register, falling back along `choices` to `last`.
std::string_view firstText(std::initializer_list<const std::optional<std::string> *> choices,
                           std::string_view last) {
  for (const auto *choice : choices)
    if (*choice && !(*choice)->empty())
      return **choice;
  return last;
}

} // namespace

PICType *ARXMethodInvoker::invokeObject(const arxmod::ARXObj &object, uint32_t method,
                                        PICType *argument) {
  switch (method) {
  case 1: // ARX_read_class
    return number(argument, object.classNumber());
  case 2: // ARX_read_name
    return text(argument, object.name());
  case 3: // ARX_read_label
    return text(argument, object.label() ? *object.label() : object.name());
  case 128: // ARX_write_label
    return exceptionResult(argument->blob(), ExceptNotSupported, argument);
  case 129:
  case 130:
    return security(object, method, argument, {});
  case 131: // ARX_read_parent_handle
    return number(argument, object.parent());
  case 132: // ARX_read_owners
  case 134: // ARX_check_sanity
    return refuse(argument, ExceptNotSupported);
  case 133: { // ARX_isa
    const auto ancestor = unsignedArgument(argument);
    if (!ancestor)
      return exceptionResult(argument->blob(), ExceptWrongArgument, argument);
    return truth(argument, arxmod::classIsA(object.classNumber(), *ancestor));
  }
  default:
    return refuse(argument, ExceptNoSuchMethod);
  }
}

PICType *ARXMethodInvoker::invokeRegister(const arxmod::RegisterObj &object, uint32_t method,
                                          PICType *argument) {
  switch (method) {
  case 21: // Register_read_value
    return object.value(&argument->blob());
  case 20:  // Register_read_time
  case 22:  // Register_write_value
  case 300: // Register_write_time
    return refuse(argument, ExceptNotSupported);
  case 129:
  case 130:
    return security(object, method, argument, kRegisterWrites);
  default:
    return invokeObject(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeBounded(const arxmod::BoundedObj &object, uint32_t method,
                                         PICType *argument) {
  switch (method) {
  case 540: // NBReg_read_bounds
    if (!object.bounds())
      return refuse(argument, ExceptNoData);
    return argument->blob().make<arxmod::Float64Array>(std::span<const double>(*object.bounds()));
  case 541: // NBReg_write_bounds
    return refuse(argument, ExceptNotSupported);
  default:
    return invokeRegister(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeBool(const arxmod::BoolObj &object, uint32_t method,
                                      PICType *argument) {
  const arxmod::BoolTexts &names = object.names();
  const arxmod::BoolTexts &labels = object.labels();
  switch (method) {
  case 28: // BVReg_read_on_name
    return text(argument, firstText({&names.on}, "ON"));
  case 29: // BVReg_read_off_name
    return text(argument, firstText({&names.off}, "OFF"));
  case 30: // BVReg_read_on_label
    return text(argument, firstText({&labels.on, &names.on}, "ON"));
  case 31: // BVReg_read_off_label
    return text(argument, firstText({&labels.off, &names.off}, "OFF"));
  case 32: { // BVReg_current_state_label
    const auto *state = dynamic_cast<const arxmod::NumericType *>(object.value(&argument->blob()));
    if (!state)
      return refuse(argument, ExceptNoData);
    return state->asLongDouble() != 0 ? invokeBool(object, 30, argument)
                                      : invokeBool(object, 31, argument);
  }
  case 500: // BVReg_write_on_label
  case 501: // BVReg_write_off_label
    return refuse(argument, ExceptNotSupported);
  case 129:
  case 130:
    return security(object, method, argument, kBoolWrites);
  default:
    return invokeRegister(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeEnum(const arxmod::EnumObj &object, uint32_t method,
                                      PICType *argument) {
  if (method == 520) // ENReg_read_enumerations
    return texts(argument, object.options());
  return invokeRegister(object, method, argument);
}

PICType *ARXMethodInvoker::invokeCalendar(const arxmod::CalendarObj &object, uint32_t method,
                                          PICType *argument) {
  switch (method) {
  case 601: // CalReg_read_calendar_value
    return storedValue(argument, object.calendarValue());
  case 603: // CalReg_read_profile_value
    return storedValue(argument, object.profileValue());
  case 605: // CalReg_read_profile_labels
    return storedValue(argument,
                       object.profileLabels() ? object.profileLabels() : object.profileNames());
  case 607: // CalReg_read_profile_names
    return storedValue(argument, object.profileNames());
  case 608: // CalReg_read_activity_depth
    return number(argument, object.activityDepth());
  case 602: // CalReg_write_calendar_value
  case 604: // CalReg_write_profile_value
  case 606: // CalReg_write_profile_labels
    return refuse(argument, ExceptNotSupported);
  default:
    return invokeRegister(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeArrayRegister(const arxmod::ArrayRegisterObj &object,
                                               uint32_t method, PICType *argument) {
  switch (method) {
  case 35: // ArrayReg_read_depth
    return number(argument, object.depth());
  case 37: // ArrayReg_read_rollover
    return number(argument, object.rollover());
  case 36: // ArrayReg_write_depth
    return refuse(argument, ExceptNotSupported);
  default:
    return invokeRegister(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeLogRegister(const arxmod::LogRegisterObj &object, uint32_t method,
                                             PICType *argument) {
  switch (method) {
  case 40: // LogReg_read_position
    return number(argument, object.position());
  case 41: // LogReg_write_position
    return refuse(argument, ExceptNotSupported);
  default:
    // A log register is an array register: depth and rollover are its own.
    return invokeArrayRegister(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeEventLogRegister(const arxmod::EventLogRegisterObj &object,
                                                  uint32_t method, PICType *argument) {
  switch (method) {
  case 560: // EventLogReg_read_alarm_count_rollover
    return number(argument, object.alarmRollover());
  case 45: // EventLogReg_read_alarms
  case 46: // EventLogReg_write_alarms
    return refuse(argument, ExceptNotSupported);
  default:
    return invokeLogRegister(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeAddressRegister(const arxmod::AddressRegisterObj &object,
                                                 uint32_t method, PICType *argument) {
  if (method == 627) // ADReg_read_allowed_classes
    return handles(argument, object.allowedClasses());
  return invokeRegister(object, method, argument);
}

PICType *ARXMethodInvoker::invokeRegisterObj(const arxmod::RegisterObj &object, uint32_t method,
                                             PICType *argument) {
  // Log and event views, database registers and formula registers.
  if ((method >= 583 && method <= 595) || (method >= 621 && method <= 624))
    return refuse(argument, ExceptNotSupported);
  return invokeRegister(object, method, argument);
}

PICType *ARXMethodInvoker::invokeModule(const arxmod::ModuleObj &object, uint32_t method,
                                        PICType *argument) {
  switch (method) {
  case 80: // Module_read_setup_counter
    return number(argument, object.setupCounter());
  case 81: // Module_read_update_counter
    return number(argument, object.updateCounter());
  case 1000: // Module_read_input_handles
    if (!object.inputs())
      return refuse(argument, ExceptNoData);
    return arxmod::CompleteObjectHandle::listToPICType(*object.inputs(), argument->blob());
  case 1003: // Module_read_output_handles
    return handles(argument, object.outputs());
  case 1004: // Module_read_setup_handles
    return handles(argument, object.setups());
  case 1002: { // Module_read_input_classes
    if (!object.inputClasses())
      return refuse(argument, ExceptNoData);
    MemoryBlob &blob = argument->blob();
    auto *result = blob.make<arxmod::UnsignedArrayArrayType>();
    for (const auto &classes : *object.inputClasses())
      result->list().append(blob.make<arxmod::Uint32Array>(std::span<const uint32_t>(classes)));
    return result;
  }
  case 1005: // Module_read_update_period
    if (!object.updatePeriod())
      return refuse(argument, ExceptNoData);
    return text(argument, *object.updatePeriod());
  case 1007: // Module_read_input_names
    return texts(argument, object.inputNames());
  case 1030: // Module_read_state
    return truth(argument, object.state() != 0);
  case 1001: // Module_write_input_handles
  case 1006: // Module_read_module_security
  case 1020: // Module_write_setup_counter
  case 1021: // Module_write_update_counter
  case 1022: // Module_write_update_period
  case 1031: // Module_write_state
  case 1032: // RecorderModule_write_rearm
    return refuse(argument, ExceptNotSupported);
  case 129:
  case 130:
    return security(object, method, argument, kModuleWrites);
  default:
    return invokeObject(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeManager(const arxmod::ManagerObj &object, uint32_t method,
                                         PICType *argument) {
  switch (method) {
  case 100: // Manager_read_aggregate_setup_counter
    return number(argument, object.aggregateSetupCounter());
  case 1502: // Manager_read_managed_class
    return number(argument, object.managedClass());
  case 1505: // Manager_read_collective_state
    return truth(argument, object.collectiveState() != 0);
  case 1506: // Manager_read_capacity: a count of modules, so a number
    return number(argument, object.capacity());
  case 101:  // Manager_read_aggregate_update_counter
  case 1500: // Manager_create_module
  case 1501: // Manager_destroy_module
  case 1503: // Manager_write_aggregate_setup_counter
  case 1504: // Manager_write_aggregate_update_counter
    return refuse(argument, ExceptNotSupported);
  case 129:
  case 130:
    return security(object, method, argument, kManagerWrites);
  default:
    return invokeModule(object, method, argument);
  }
}

PICType *ARXMethodInvoker::invokeForClass(const arxmod::ARXObj &object, uint32_t method,
                                          PICType *argument) {
  using arxmod::ObjKind;
  switch (object.kind()) {
  case ObjKind::Manager:
    return invokeManager(static_cast<const arxmod::ManagerObj &>(object), method, argument);
  case ObjKind::Module:
    return invokeModule(static_cast<const arxmod::ModuleObj &>(object), method, argument);
  case ObjKind::Bounded:
    return invokeBounded(static_cast<const arxmod::BoundedObj &>(object), method, argument);
  case ObjKind::Bool:
    return invokeBool(static_cast<const arxmod::BoolObj &>(object), method, argument);
  case ObjKind::Enum:
    return invokeEnum(static_cast<const arxmod::EnumObj &>(object), method, argument);
  case ObjKind::Calendar:
    return invokeCalendar(static_cast<const arxmod::CalendarObj &>(object), method, argument);
  case ObjKind::EventLogRegister:
    return invokeEventLogRegister(static_cast<const arxmod::EventLogRegisterObj &>(object), method,
                                  argument);
  case ObjKind::LogRegister:
    return invokeLogRegister(static_cast<const arxmod::LogRegisterObj &>(object), method, argument);
  case ObjKind::ArrayRegister:
    return invokeArrayRegister(static_cast<const arxmod::ArrayRegisterObj &>(object), method,
                               argument);
  case ObjKind::AddressRegister:
    return invokeAddressRegister(static_cast<const arxmod::AddressRegisterObj &>(object), method,
                                 argument);
  case ObjKind::Register:
    return invokeRegisterObj(static_cast<const arxmod::RegisterObj &>(object), method, argument);
  case ObjKind::ARX:
    break;
  }
  return invokeObject(object, method, argument);
}

} // namespace XLARX
