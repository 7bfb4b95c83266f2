// ARXObj, ModuleObj and ManagerObj: construction, the label rule and clone.
#include "tree/ARXObj.h"

#include "tree/RegisterObj.h"

namespace arxmod {
namespace {

constexpr std::string_view kInputTypeNames[] = {"pre_programmed", "local_only", "local_extended",
                                                "extended_only"};

} // namespace

std::optional<std::string_view> inputTypeName(uint32_t type) {
  if (type >= std::size(kInputTypeNames))
    return std::nullopt;
  return kInputTypeNames[type];
}

std::optional<uint32_t> inputTypeNumber(std::string_view name) {
  for (uint32_t i = 0; i < std::size(kInputTypeNames); ++i)
    if (kInputTypeNames[i] == name)
      return i;
  return std::nullopt;
}

const std::optional<std::string> ARXObj::kNoText;
const std::optional<SecurityLevels> ARXObj::kNoSecurityLevels;
const std::optional<std::vector<std::string>> ARXObj::kNoTextList;

ARXObj::ARXObj(uint32_t handle, uint32_t classNumber, uint32_t parent, std::string name)
    : name_(std::move(name)), handle_(handle), classNumber_(classNumber), parent_(parent) {}

ARXObj::ARXObj(const ARXObj &other)
    : name_(other.name_), rare_(other.rare_ ? std::make_unique<Rare>(*other.rare_) : nullptr),
      handle_(other.handle_), classNumber_(other.classNumber_), parent_(other.parent_) {}

void ARXObj::setLabel(std::optional<std::string> label) {
  if (label && *label == name_)
    label.reset();
  setRare(&Rare::label, std::move(label));
}

std::unique_ptr<ARXObj> ARXObj::clone() const { return std::unique_ptr<ARXObj>(new ARXObj(*this)); }
std::unique_ptr<ARXObj> ModuleObj::clone() const { return std::make_unique<ModuleObj>(*this); }
std::unique_ptr<ARXObj> ManagerObj::clone() const { return std::make_unique<ManagerObj>(*this); }

std::unique_ptr<ARXObj> makeObj(ObjKind kind) {
  switch (kind) {
  case ObjKind::ARX:
    return std::make_unique<ARXObj>();
  case ObjKind::Module:
    return std::make_unique<ModuleObj>();
  case ObjKind::Manager:
    return std::make_unique<ManagerObj>();
  case ObjKind::Register:
    return std::make_unique<RegisterObj>();
  case ObjKind::Calendar:
    return std::make_unique<CalendarObj>();
  case ObjKind::ArrayRegister:
    return std::make_unique<ArrayRegisterObj>();
  case ObjKind::LogRegister:
    return std::make_unique<LogRegisterObj>();
  case ObjKind::EventLogRegister:
    return std::make_unique<EventLogRegisterObj>();
  case ObjKind::Bounded:
    return std::make_unique<BoundedObj>();
  case ObjKind::Enum:
    return std::make_unique<EnumObj>();
  case ObjKind::Bool:
    return std::make_unique<BoolObj>();
  case ObjKind::AddressRegister:
    return std::make_unique<AddressRegisterObj>();
  }
  return nullptr;
}

} // namespace arxmod
