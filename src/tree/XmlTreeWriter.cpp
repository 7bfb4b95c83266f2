// XmlTreeWriter: the element form of tree files, written object by object.
//
// Numbers are written in decimal and classes by name (by number when the
// class table has no row for them). A module's outputs and setups nest the
// registers it owns when they have not been written yet; modules found in
// those lists are written as handles, so nesting is never more than one
// level deep whatever the file's references look like.
#include "tree/XmlTree.h"

#include "tree/ClassTable.h"
#include "tree/RegisterObj.h"
#include "tree/TreeFormat.h"
#include "types/MethodTable.h"

namespace arxmod {
namespace {

void setAttribute(pugi::xml_node node, const char *name, uint32_t value) {
  node.append_attribute(name).set_value(value);
}
void setAttribute(pugi::xml_node node, const char *name, std::string_view value) {
  node.append_attribute(name).set_value(std::string(value).c_str());
}
void addNumber(pugi::xml_node node, const char *name, uint32_t value) {
  node.append_child(name).text().set(value);
}
void addText(pugi::xml_node node, const char *name, const std::optional<std::string> &value) {
  if (value)
    node.append_child(name).text().set(value->c_str());
}
void addTextList(pugi::xml_node node, const char *listName, const char *itemName,
                 const std::optional<std::vector<std::string>> &list) {
  if (!list)
    return;
  pugi::xml_node listNode = node.append_child(listName);
  for (const auto &item : *list)
    listNode.append_child(itemName).text().set(item.c_str());
}

// Outputs or setups: a register not yet written that the module's tree
// holds is nested in full, anything else is a t:H reference.
void addHandleList(pugi::xml_node node, const char *name,
                   const std::optional<std::vector<uint32_t>> &list, const ObjList *owner,
                   HandleSet &written) {
  if (!list)
    return;
  pugi::xml_node listNode = node.append_child(name);
  for (uint32_t handle : *list) {
    const ARXObj *object = owner && !written.contains(handle) ? owner->find(handle) : nullptr;
    if (object && !isModuleKind(object->kind()))
      object->writeElement(listNode, written);
    else
      addNumber(listNode, "t:H", handle);
  }
}

void addClassEntries(pugi::xml_node node, const char *itemName, const InputClassLayout &layout) {
  for (uint32_t number : layout.classes)
    node.append_child(itemName).text().set(classNameOrNumber(number).c_str());
}

void addBoolTexts(pugi::xml_node node, const char *name, const BoolTexts &texts) {
  if (!texts.present())
    return;
  pugi::xml_node element = node.append_child(name);
  if (texts.on)
    setAttribute(element, "t:On", *texts.on);
  if (texts.off)
    setAttribute(element, "t:Of", *texts.off);
}

} // namespace

std::optional<std::string> plainValue(std::string_view text, uint32_t classNumber) {
  switch (registerFamily(classNumber)) {
  case RegisterFamily::Numeric: {
    const size_t start = text.find_first_of("0123456789-.");
    if (start == std::string_view::npos)
      return std::string();
    const size_t end = text.find_first_not_of("0123456789+-.e", start);
    return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
  }
  case RegisterFamily::StringLike: {
    const size_t first = text.find('"');
    const size_t last = text.rfind('"');
    std::string plain;
    if (first == std::string_view::npos || last == first)
      return plain;
    for (char c : text.substr(first + 1, last - first - 1))
      if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
        plain += c;
    return plain;
  }
  case RegisterFamily::Boolean:
    return std::string(text.find("true") != std::string_view::npos ? "true" : "false");
  case RegisterFamily::Other:
    break;
  }
  return std::nullopt;
}

void ARXObj::writeElement(pugi::xml_node parent, HandleSet &written) const {
  pugi::xml_node element = parent.append_child("t:ARX");
  setAttribute(element, "t:SA", kindName());
  written.insert(handle_);
  setAttribute(element, "t:H", handle_);
  setAttribute(element, "t:P", parent_);
  setAttribute(element, "t:N", name_);
  setAttribute(element, "t:CI", classNameOrNumber(classNumber_));
  if (label())
    setAttribute(element, "t:L", *label());
  if (securityLevels()) {
    pugi::xml_node levels = element.append_child("t:SL");
    for (const auto &[method, level] : *securityLevels()) {
      pugi::xml_node entry = levels.append_child("t:Se");
      auto name = methodName(method);
      setAttribute(entry, "t:M", name ? std::string(*name) : std::to_string(method));
      setAttribute(entry, "t:Lv", level);
    }
  }
  writeElementContent(element, written);
  addTextList(element, "t:Ds", "t:D", descriptors());
  addText(element, "t:Cm", comment());
}

void ARXObj::writeElementContent(pugi::xml_node, HandleSet &) const {}

void ModuleObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  ARXObj::writeElementContent(element, written);
  setAttribute(element, "t:SC", setupCounter_);
  setAttribute(element, "t:S", state_);
  if (inputs_) {
    pugi::xml_node list = element.append_child("t:IH");
    for (const auto &input : *inputs_) {
      pugi::xml_node entry = list.append_child("t:CH");
      setAttribute(entry, "t:H", input.handle);
      if (!input.node.empty())
        setAttribute(entry, "t:Nd", input.node);
    }
  }
  addHandleList(element, "t:OH", outputs_, owner(), written);
  addHandleList(element, "t:SH", setups_, owner(), written);
  if (inputClasses_) {
    pugi::xml_node list = element.append_child("t:IC");
    for (const auto &inner : *inputClasses_) {
      const InputClassLayout layout = inputClassLayout(inner);
      pugi::xml_node block = list.append_child("t:B");
      setAttribute(block, "t:SR", layout.start);
      setAttribute(block, "t:ER", layout.end);
      auto type = inputTypeName(layout.inputType);
      setAttribute(block, "t:LT", type ? *type : std::to_string(layout.inputType));
      addClassEntries(block, "t:C", layout);
    }
  }
  if (updateCounter_ != 0)
    addNumber(element, "t:UC", updateCounter_);
  addText(element, "t:UP", updatePeriod_);
  addTextList(element, "t:IN", "t:NI", inputNames_);
}

void ManagerObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  ModuleObj::writeElementContent(element, written);
  setAttribute(element, "t:MC", classNameOrNumber(managedClass_));
  if (aggregateSetupCounter_ != 0)
    setAttribute(element, "t:AS", aggregateSetupCounter_);
  setAttribute(element, "t:CS", collectiveState_);
  setAttribute(element, "t:Cp", capacity_);
}

void RegisterObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  ARXObj::writeElementContent(element, written);
  if (valueText_ && !isProtected()) {
    if (auto plain = plainValue(*valueText_, classNumber()))
      setAttribute(element, "t:VS", *plain);
    addText(element, "t:V", valueText_);
  }
  if (time_ != 0)
    addNumber(element, "t:T", time_);
}

void CalendarObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  RegisterObj::writeElementContent(element, written);
  addNumber(element, "t:AD", activityDepth_);
  addText(element, "t:CV", calendarValue_);
  addText(element, "t:PV", profileValue_);
  addText(element, "t:PN", profileNames_);
  addText(element, "t:PL", profileLabels_);
}

void ArrayRegisterObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  RegisterObj::writeElementContent(element, written);
  addNumber(element, "t:Dp", depth_);
  addNumber(element, "t:R", rollover_);
}

void LogRegisterObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  ArrayRegisterObj::writeElementContent(element, written);
  addNumber(element, "t:Ps", position_);
}

void EventLogRegisterObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  LogRegisterObj::writeElementContent(element, written);
  addNumber(element, "t:AR", alarmRollover_);
}

void BoundedObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  RegisterObj::writeElementContent(element, written);
  if (bounds_) {
    pugi::xml_node node = element.append_child("t:BO");
    setAttribute(node, "t:LB", realText((*bounds_)[0]));
    setAttribute(node, "t:UB", realText((*bounds_)[1]));
  }
}

void EnumObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  RegisterObj::writeElementContent(element, written);
  if (!options_)
    return;
  pugi::xml_node list = element.append_child("t:EO");
  uint32_t ordinal = 0;
  for (const auto &option : *options_) {
    pugi::xml_node entry = list.append_child("t:E");
    setAttribute(entry, "t:EV", option);
    setAttribute(entry, "t:Od", ordinal++);
  }
}

void BoolObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  RegisterObj::writeElementContent(element, written);
  addBoolTexts(element, "t:BN", names_);
  addBoolTexts(element, "t:BL", labels_);
}

void AddressRegisterObj::writeElementContent(pugi::xml_node element, HandleSet &written) const {
  RegisterObj::writeElementContent(element, written);
  if (!allowedClasses_)
    return;
  pugi::xml_node list = element.append_child("t:AC");
  const InputClassLayout layout = inputClassLayout(*allowedClasses_);
  for (uint32_t number : {layout.start, layout.end, layout.inputType})
    addNumber(list, "t:CI", number);
  addClassEntries(list, "t:CI", layout);
}

std::unique_ptr<pugi::xml_document> writeXmlTree(const ObjList &objects) {
  auto document = std::make_unique<pugi::xml_document>();
  pugi::xml_node declaration = document->append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  pugi::xml_node root = document->append_child("XMLARXTree");
  setAttribute(root, "xmlns", kElementFormNamespace);
  setAttribute(root, "xmlns:t", kTreeNamespace);

  HandleSet written;
  for (const ARXObj *object : objects.writeOrder())
    if (!written.contains(object->handle()))
      object->writeElement(root, written);
  return document;
}

} // namespace arxmod
