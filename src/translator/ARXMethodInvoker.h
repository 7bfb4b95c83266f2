// XLARX::ARXMethodInvoker: answers a method invocation from the object's own
// data in the device tree.
//
// One operation per object class; each answers the methods of its class and
// passes every other method to the operation of its base class, ending in
// invokeObject, which answers what every object has and refuses the rest
// with code 6. Everything that would change the device is refused with
// code 4: values that live in the meter are answered before this point.
// No operation throws for a refusal; each refusal is an ExceptionType
// result, so one failing invocation leaves the rest of a program intact.
// Results are built in the arena of the invocation's argument.
#pragma once

#include "tree/RegisterObj.h"
#include "types/PICType.h"

namespace XLARX {

class ARXMethodInvoker {
public:
  virtual ~ARXMethodInvoker() = default;

  virtual arxmod::PICType *invokeObject(const arxmod::ARXObj &object, uint32_t method,
                                        arxmod::PICType *argument);
  virtual arxmod::PICType *invokeRegister(const arxmod::RegisterObj &object, uint32_t method,
                                          arxmod::PICType *argument);
  virtual arxmod::PICType *invokeBounded(const arxmod::BoundedObj &object, uint32_t method,
                                         arxmod::PICType *argument);
  virtual arxmod::PICType *invokeBool(const arxmod::BoolObj &object, uint32_t method,
                                      arxmod::PICType *argument);
  virtual arxmod::PICType *invokeEnum(const arxmod::EnumObj &object, uint32_t method,
                                      arxmod::PICType *argument);
  virtual arxmod::PICType *invokeCalendar(const arxmod::CalendarObj &object, uint32_t method,
                                          arxmod::PICType *argument);
  virtual arxmod::PICType *invokeArrayRegister(const arxmod::ArrayRegisterObj &object,
                                               uint32_t method, arxmod::PICType *argument);
  virtual arxmod::PICType *invokeLogRegister(const arxmod::LogRegisterObj &object, uint32_t method,
                                             arxmod::PICType *argument);
  virtual arxmod::PICType *invokeEventLogRegister(const arxmod::EventLogRegisterObj &object,
                                                  uint32_t method, arxmod::PICType *argument);
  virtual arxmod::PICType *invokeAddressRegister(const arxmod::AddressRegisterObj &object,
                                                 uint32_t method, arxmod::PICType *argument);
  virtual arxmod::PICType *invokeRegisterObj(const arxmod::RegisterObj &object, uint32_t method,
                                             arxmod::PICType *argument);
  virtual arxmod::PICType *invokeModule(const arxmod::ModuleObj &object, uint32_t method,
                                        arxmod::PICType *argument);
  virtual arxmod::PICType *invokeManager(const arxmod::ManagerObj &object, uint32_t method,
                                         arxmod::PICType *argument);

  // The operation of the object's most specific class.
  arxmod::PICType *invokeForClass(const arxmod::ARXObj &object, uint32_t method,
                                  arxmod::PICType *argument);
};

} // namespace XLARX
