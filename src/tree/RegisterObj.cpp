// RegisterObj and its kinds: clone, the value as a typed value and the
// protected-register test.
#include "tree/RegisterObj.h"

#include "types/StructureTypes.h"
#include "types/TextParser.h"

namespace arxmod {

std::unique_ptr<ARXObj> RegisterObj::clone() const { return std::make_unique<RegisterObj>(*this); }
std::unique_ptr<ARXObj> CalendarObj::clone() const { return std::make_unique<CalendarObj>(*this); }
std::unique_ptr<ARXObj> ArrayRegisterObj::clone() const {
  return std::make_unique<ArrayRegisterObj>(*this);
}
std::unique_ptr<ARXObj> LogRegisterObj::clone() const {
  return std::make_unique<LogRegisterObj>(*this);
}
std::unique_ptr<ARXObj> EventLogRegisterObj::clone() const {
  return std::make_unique<EventLogRegisterObj>(*this);
}
std::unique_ptr<ARXObj> BoundedObj::clone() const { return std::make_unique<BoundedObj>(*this); }
std::unique_ptr<ARXObj> EnumObj::clone() const { return std::make_unique<EnumObj>(*this); }
std::unique_ptr<ARXObj> BoolObj::clone() const { return std::make_unique<BoolObj>(*this); }
std::unique_ptr<ARXObj> AddressRegisterObj::clone() const {
  return std::make_unique<AddressRegisterObj>(*this);
}

PICType *RegisterObj::value(MemoryBlob *blob) const {
  if (!blob)
    throw BlobCannotBeNull();
  if (!valueText_)
    return blob->make<ExceptionType>(5u, std::string_view());
  return parsePICText(*valueText_, *blob);
}

bool RegisterObj::isProtected() const {
  return name().starts_with("SEC") || name().starts_with("SOP");
}

} // namespace arxmod
