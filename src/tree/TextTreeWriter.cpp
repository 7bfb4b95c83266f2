// TextTreeWriter: the text form of tree files, written object by object.
//
// Each statement is one line indented under its block; strings that may
// hold anything (names, labels, comments, input names) are counted strings,
// value texts are quoted strings one per line of the text. A module's outputs
// and setups nest the registers it owns that were not written yet; modules
// in those lists are written as handles, so nesting stays one level deep.
#include "tree/TextTree.h"

#include "tree/ClassTable.h"
#include "tree/RegisterObj.h"
#include "tree/TextTreeLexer.h"
#include "tree/TreeFormat.h"
#include "types/MethodTable.h"

#include <sstream>

namespace arxmod {
namespace {

constexpr int kIndentWidth = 2;

std::ostream &line(std::ostream &out, int indent) {
  return out << std::string(static_cast<size_t>(indent) * kIndentWidth, ' ');
}
std::ostream &statement(std::ostream &out, int indent, std::string_view keyword) {
  return line(out, indent) << keyword << " = ";
}
std::string counted(std::string_view text) {
  std::string result = "<"; // appended in steps, see FileManager.cpp
  result += std::to_string(text.size());
  result += '>';
  result += text;
  return result;
}

void writeNumber(std::ostream &out, int indent, std::string_view keyword, uint32_t value) {
  statement(out, indent, keyword) << value << '\n';
}
void writeCounted(std::ostream &out, int indent, std::string_view keyword,
                  const std::optional<std::string> &text) {
  if (text)
    statement(out, indent, keyword) << counted(*text) << '\n';
}
// A value text: one quoted string per line, the first after the keyword.
void writeLines(std::ostream &out, int indent, std::string_view keyword,
                const std::optional<std::string> &text) {
  if (!text)
    return;
  statement(out, indent, keyword);
  std::string_view rest = *text;
  while (true) {
    const size_t end = rest.find('\n');
    out << quotedText(rest.substr(0, end)) << '\n';
    if (end == std::string_view::npos)
      break;
    rest.remove_prefix(end + 1);
    line(out, indent + 1);
  }
}
void openList(std::ostream &out, int indent, std::string_view keyword) {
  statement(out, indent, keyword) << "{\n";
}
void closeList(std::ostream &out, int indent) { line(out, indent) << "}\n"; }

void writeCountedList(std::ostream &out, int indent, std::string_view keyword,
                      const std::optional<std::vector<std::string>> &list) {
  if (!list)
    return;
  openList(out, indent, keyword);
  for (const auto &item : *list)
    line(out, indent + 1) << counted(item) << '\n';
  closeList(out, indent);
}

void writeHandleList(std::ostream &out, int indent, std::string_view keyword,
                     const std::optional<std::vector<uint32_t>> &list, const ObjList *owner,
                     HandleSet &written) {
  if (!list)
    return;
  openList(out, indent, keyword);
  for (uint32_t handle : *list) {
    const ARXObj *object = owner && !written.contains(handle) ? owner->find(handle) : nullptr;
    if (object && !isModuleKind(object->kind()))
      object->writeText(out, indent + 1, written);
    else
      line(out, indent + 1) << handleText(handle) << '\n';
  }
  closeList(out, indent);
}

void writeClasses(std::ostream &out, int indent, std::span<const uint32_t> classes) {
  for (uint32_t number : classes)
    line(out, indent) << classNameOrNumber(number) << '\n';
}

void writeBoolTexts(std::ostream &out, int indent, std::string_view keyword,
                    const BoolTexts &texts) {
  if (!texts.present())
    return;
  auto item = [](const std::optional<std::string> &text) {
    return text ? counted(*text) : std::string("void");
  };
  statement(out, indent, keyword) << "{ " << item(texts.on) << ' ' << item(texts.off) << " }\n";
}

} // namespace

void ARXObj::writeSavedAs(std::ostream &out, int indent) const {
  line(out, indent) << objKindInfo(kind()).savedAs << ' ' << handleText(handle_) << '\n';
}

void ARXObj::writeText(std::ostream &out, int indent, HandleSet &written) const {
  if (written.contains(handle_)) {
    if (kind() != ObjKind::Manager)
      line(out, indent) << handleText(handle_) << '\n';
    return;
  }
  written.insert(handle_);
  writeSavedAs(out, indent);
  writeTextContent(out, indent + 1, written);
}

void ARXObj::writeTextContent(std::ostream &out, int indent, HandleSet &) const {
  statement(out, indent, "classid") << classNameOrNumber(classNumber_) << '\n';
  statement(out, indent, "parent") << handleText(parent_) << '\n';
  statement(out, indent, "name") << counted(name_) << '\n';
  writeCounted(out, indent, "label", label());
  if (securityLevels()) {
    openList(out, indent, "securitylevels");
    for (const auto &[method, level] : *securityLevels()) {
      auto name = methodName(method);
      line(out, indent + 1) << (name ? std::string(*name) : std::to_string(method)) << ' ' << level
                            << '\n';
    }
    closeList(out, indent);
  }
  if (descriptors()) {
    statement(out, indent, "descriptors") << '{';
    for (const auto &descriptor : *descriptors())
      out << ' ' << quotedText(descriptor);
    out << " }\n";
  }
  writeCounted(out, indent, "comment", comment());
}

void ModuleObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  ARXObj::writeTextContent(out, indent, written);
  if (inputs_) {
    openList(out, indent, "inputs");
    for (const auto &input : *inputs_) {
      line(out, indent + 1) << handleText(input.handle);
      if (!input.node.empty())
        out << '@' << input.node;
      out << '\n';
    }
    closeList(out, indent);
  }
  writeHandleList(out, indent, "outputs", outputs_, owner(), written);
  writeHandleList(out, indent, "setups", setups_, owner(), written);
  writeNumber(out, indent, "setupcount", setupCounter_);
  if (updateCounter_ != 0)
    writeNumber(out, indent, "updatecount", updateCounter_);
  if (updatePeriod_)
    statement(out, indent, "update_period") << quotedText(*updatePeriod_) << '\n';
  writeNumber(out, indent, "state", state_);
  writeCountedList(out, indent, "inputnames", inputNames_);
  if (inputClasses_) {
    openList(out, indent, "inputclasses");
    for (const auto &inner : *inputClasses_) {
      const InputClassLayout layout = inputClassLayout(inner);
      line(out, indent + 1) << "{\n";
      writeNumber(out, indent + 2, "start_range", layout.start);
      writeNumber(out, indent + 2, "end_range", layout.end);
      auto type = inputTypeName(layout.inputType);
      statement(out, indent + 2, "input_type")
          << (type ? std::string(*type) : std::to_string(layout.inputType)) << '\n';
      writeClasses(out, indent + 2, layout.classes);
      closeList(out, indent + 1);
    }
    closeList(out, indent);
  }
}

void ManagerObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  ModuleObj::writeTextContent(out, indent, written);
  statement(out, indent, "managedclass") << classNameOrNumber(managedClass_) << '\n';
  if (aggregateSetupCounter_ != 0)
    writeNumber(out, indent, "aggregate_setup_counter", aggregateSetupCounter_);
  writeNumber(out, indent, "collective_state", collectiveState_);
  writeNumber(out, indent, "capacity", capacity_);
}

void RegisterObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  ARXObj::writeTextContent(out, indent, written);
  if (!isProtected()) {
    if (structuredValue())
      statement(out, indent, "value") << "{" << *structuredValue() << "}\n";
    else
      writeLines(out, indent, "value", valueText_);
  }
  if (time_ != 0)
    writeNumber(out, indent, "time", time_);
}

void CalendarObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  RegisterObj::writeTextContent(out, indent, written);
  writeLines(out, indent, "calendar_value", calendarValue_);
  writeLines(out, indent, "profile_value", profileValue_);
  writeLines(out, indent, "profile_names", profileNames_);
  writeLines(out, indent, "profile_labels", profileLabels_);
  writeNumber(out, indent, "activity_depth", activityDepth_);
}

void ArrayRegisterObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  RegisterObj::writeTextContent(out, indent, written);
  writeNumber(out, indent, "depth", depth_);
  writeNumber(out, indent, "rollover", rollover_);
}

void LogRegisterObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  ArrayRegisterObj::writeTextContent(out, indent, written);
  writeNumber(out, indent, "position", position_);
}

void EventLogRegisterObj::writeTextContent(std::ostream &out, int indent,
                                           HandleSet &written) const {
  LogRegisterObj::writeTextContent(out, indent, written);
  writeNumber(out, indent, "alarm_rollover", alarmRollover_);
}

void BoundedObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  RegisterObj::writeTextContent(out, indent, written);
  if (bounds_)
    statement(out, indent, "boundsoptions")
        << "{ " << realText((*bounds_)[0]) << ' ' << realText((*bounds_)[1]) << " }\n";
}

void EnumObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  RegisterObj::writeTextContent(out, indent, written);
  if (!options_)
    return;
  openList(out, indent, "enumoptions");
  uint32_t ordinal = 0;
  for (const auto &option : *options_)
    line(out, indent + 1) << quotedText(option) << " = " << ordinal++ << '\n';
  closeList(out, indent);
}

void BoolObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  RegisterObj::writeTextContent(out, indent, written);
  writeBoolTexts(out, indent, "boolnames", names_);
  writeBoolTexts(out, indent, "booloptions", labels_);
}

void AddressRegisterObj::writeTextContent(std::ostream &out, int indent, HandleSet &written) const {
  RegisterObj::writeTextContent(out, indent, written);
  if (!allowedClasses_)
    return;
  openList(out, indent, "allowedclasses");
  const InputClassLayout layout = inputClassLayout(*allowedClasses_);
  for (uint32_t number : {layout.start, layout.end, layout.inputType})
    line(out, indent + 1) << number << '\n';
  writeClasses(out, indent + 1, layout.classes);
  closeList(out, indent);
}

void writeTextTree(const ObjList &objects, std::ostream &out) {
  out << "REVISION = " << kTextTreeRevision << '\n';
  if (!objects.revision().empty())
    out << "tree_revision = " << quotedText(objects.revision()) << '\n';
  HandleSet written;
  for (const ARXObj *object : objects.writeOrder())
    if (!written.contains(object->handle()))
      object->writeText(out, 0, written);
}

std::string textTreeString(const ObjList &objects) {
  std::ostringstream out;
  writeTextTree(objects, out);
  return out.str();
}

} // namespace arxmod
