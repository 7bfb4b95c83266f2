// XmlTreeReader: builds objects from the element form of tree files.
//
// Every t:ARX element of the document is an object, wherever it sits (the
// writers nest owned registers inside their module's output and setup
// lists). Attributes and child elements are dispatched by qualified name;
// each child element sets a presence bit, which catches an element given
// twice and one that the object's kind does not have. The walk over the
// document is iterative, so a deeply nested hostile document cannot exhaust
// the stack. Each node and each attribute is visited once (attributes are
// collected by field before the object is built): on a large tree the calls
// into pugixml's node interface cost as much as the parse itself.
#include "tree/XmlTree.h"

#include "base/KSXmsg.h"
#include "tree/ClassTable.h"
#include "tree/RegisterObj.h"
#include "tree/TextTree.h"
#include "tree/TreeFormat.h"
#include "tree/XmlShortName.h"
#include "types/MethodTable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace arxmod {
namespace {

enum class Field {
  Kind,
  Handle,
  ClassId,
  Parent,
  Name,
  Label,
  SetupCounter,
  ManagedClass,
  AggregateSetupCounter,
  CollectiveState,
  State,
  Capacity,
  Element // a child element with a presence bit
};
// Fields given as attributes, Kind to Capacity.
constexpr size_t kAttributeFields = static_cast<size_t>(Field::Element);

struct FieldEntry {
  Field field;
  ElementBit bit; // for Field::Element
};

constexpr std::pair<std::string_view, FieldEntry> kFields[] = {
    {"t:SA", {Field::Kind, ElementBit::Comment}},
    {"t:H", {Field::Handle, ElementBit::Comment}},
    {"t:CI", {Field::ClassId, ElementBit::Comment}},
    {"t:P", {Field::Parent, ElementBit::Comment}},
    {"t:N", {Field::Name, ElementBit::Comment}},
    {"t:L", {Field::Label, ElementBit::Comment}},
    {"t:SC", {Field::SetupCounter, ElementBit::Comment}},
    {"t:MC", {Field::ManagedClass, ElementBit::Comment}},
    {"t:AS", {Field::AggregateSetupCounter, ElementBit::Comment}},
    {"t:CS", {Field::CollectiveState, ElementBit::Comment}},
    {"t:S", {Field::State, ElementBit::Comment}},
    {"t:Cp", {Field::Capacity, ElementBit::Comment}},
    {"t:Cm", {Field::Element, ElementBit::Comment}},
    {"t:Ds", {Field::Element, ElementBit::Descriptors}},
    {"t:SL", {Field::Element, ElementBit::SecurityLevels}},
    {"t:IH", {Field::Element, ElementBit::InputHandles}},
    {"t:OH", {Field::Element, ElementBit::OutputHandles}},
    {"t:SH", {Field::Element, ElementBit::SetupHandles}},
    {"t:IC", {Field::Element, ElementBit::InputClasses}},
    {"t:UC", {Field::Element, ElementBit::UpdateCounter}},
    {"t:UP", {Field::Element, ElementBit::UpdatePeriod}},
    {"t:IN", {Field::Element, ElementBit::InputNames}},
    {"t:V", {Field::Element, ElementBit::Value}},
    {"t:T", {Field::Element, ElementBit::Time}},
    {"t:AD", {Field::Element, ElementBit::ActivityDepth}},
    {"t:CV", {Field::Element, ElementBit::CalendarValue}},
    {"t:PV", {Field::Element, ElementBit::ProfileValue}},
    {"t:PN", {Field::Element, ElementBit::ProfileNames}},
    {"t:PL", {Field::Element, ElementBit::ProfileLabels}},
    {"t:Dp", {Field::Element, ElementBit::Depth}},
    {"t:R", {Field::Element, ElementBit::Rollover}},
    {"t:Ps", {Field::Element, ElementBit::Position}},
    {"t:AR", {Field::Element, ElementBit::AlarmRollover}},
    {"t:BO", {Field::Element, ElementBit::BoundsOptions}},
    {"t:EO", {Field::Element, ElementBit::EnumOptions}},
    {"t:AC", {Field::Element, ElementBit::AllowedClasses}},
    {"t:BN", {Field::Element, ElementBit::BoolNames}},
    {"t:BL", {Field::Element, ElementBit::BoolLabels}},
};

constexpr uint8_t kNotAField = 0xFF;
constexpr auto kFieldTable = [] {
  std::array<uint8_t, kShortNameKeys> table{};
  table.fill(kNotAField);
  for (size_t i = 0; i < std::size(kFields); ++i)
    table[shortNameKey(kFields[i].first.data())] = static_cast<uint8_t>(i);
  return table;
}();

const FieldEntry *findField(const char *name) {
  const size_t key = shortNameKey(name);
  if (key == kNoShortName || kFieldTable[key] == kNotAField)
    return nullptr;
  return &kFields[kFieldTable[key]].second;
}

// An unsigned number with automatic base ("0x" hexadecimal, leading 0
// octal), as strtoul reads it; a value beyond 32 bits keeps its low bits.
uint32_t number(const char *text) {
  // Plain decimal without a leading zero is by far the most common form and
  // is read here; everything else goes to strtoul.
  if (*text >= '1' && *text <= '9') {
    uint64_t value = 0;
    const char *p = text;
    for (; *p >= '0' && *p <= '9' && p - text < 19; ++p)
      value = value * 10 + static_cast<uint64_t>(*p - '0');
    if (*p < '0' || *p > '9')
      return static_cast<uint32_t>(value);
  }
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}
uint32_t number(pugi::xml_node node) { return number(node.child_value()); }

// A class given by name, or by decimal number when it has no row; nothing
// for a name in neither form.
std::optional<uint32_t> classNumber(const char *text) {
  if (auto known = classNumberOf(text))
    return known;
  if (*text >= '0' && *text <= '9')
    return number(text);
  return std::nullopt;
}

// Class look-ups for one read. The objects of a tree share a handful of
// classes, so the last few names are remembered and most look-ups are one
// string comparison instead of a hash of the name.
class ClassNumbers {
public:
  std::optional<uint32_t> operator()(const char *text) {
    for (size_t i = 0; i < filled_; ++i)
      if (std::strcmp(entries_[i].name.c_str(), text) == 0)
        return entries_[i].number;
    const std::optional<uint32_t> number = classNumber(text);
    entries_[next_] = {text, number};
    next_ = (next_ + 1) % kEntries;
    filled_ = std::max(filled_, next_ == 0 ? kEntries : next_);
    return number;
  }

private:
  static constexpr size_t kEntries = 4;
  struct Entry {
    std::string name;
    std::optional<uint32_t> number;
  };
  std::array<Entry, kEntries> entries_;
  size_t next_ = 0;
  size_t filled_ = 0;
};

bool named(pugi::xml_node node, std::string_view name) {
  const char *actual = node.name();
  for (char c : name)
    if (*actual++ != c)
      return false;
  return *actual == 0;
}

std::vector<std::string> textList(pugi::xml_node list, const char *itemName) {
  std::vector<std::string> items;
  for (pugi::xml_node item : list.children())
    if (named(item, itemName))
      items.emplace_back(item.child_value());
  return items;
}

std::vector<uint32_t> handleList(pugi::xml_node list) {
  std::vector<uint32_t> handles;
  for (pugi::xml_node item : list.children()) {
    if (named(item, "t:H"))
      handles.push_back(number(item));
    else if (named(item, "t:ARX"))
      handles.push_back(number(item.attribute("t:H").value()));
  }
  return handles;
}

// Class entries of t:IC blocks and t:AC lists; names in no form are skipped.
void appendClasses(std::vector<uint32_t> &list, pugi::xml_node parent, const char *itemName) {
  for (pugi::xml_node item : parent.children())
    if (named(item, itemName))
      if (auto number = classNumber(item.child_value()))
        list.push_back(*number);
}

BoolTexts boolTexts(pugi::xml_node node) {
  BoolTexts texts;
  if (auto on = node.attribute("t:On"))
    texts.on = on.value();
  if (auto off = node.attribute("t:Of"))
    texts.off = off.value();
  return texts;
}

// The attribute texts of one t:ARX element by field, gathered in a single
// pass over its attributes. A field given twice takes its last text, as if
// each were applied in turn, except the kind, which is the first t:SA.
struct AttributeTexts {
  const char *texts[kAttributeFields] = {};

  explicit AttributeTexts(pugi::xml_node element) {
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
      const FieldEntry *entry = findField(attribute.name());
      if (!entry || entry->field == Field::Element)
        continue;
      const char *&slot = texts[static_cast<size_t>(entry->field)];
      if (entry->field != Field::Kind || !slot)
        slot = attribute.value();
    }
  }
  const char *operator[](Field field) const { return texts[static_cast<size_t>(field)]; }
};

class ObjectBuilder {
public:
  ObjectBuilder(ObjKind kind, ClassNumbers &classes)
      : kind_(kind), object_(makeObj(kind)), classes_(classes) {}

  void attributes(const AttributeTexts &texts) {
    auto apply = [&](Field field, auto &&set) {
      if (const char *text = texts[field])
        set(text);
    };
    ARXObj &object = *object_;
    apply(Field::Handle, [&](const char *text) { object.setHandle(number(text)); });
    apply(Field::ClassId,
          [&](const char *text) { object.setClassNumber(classes_(text).value_or(0)); });
    apply(Field::Parent, [&](const char *text) { object.setParent(number(text)); });
    apply(Field::Name, [&](const char *text) { object.setName(text); });
    apply(Field::Label, [&](const char *text) { label_ = text; });
    if (!isModuleKind(kind_))
      return;
    auto &module = static_cast<ModuleObj &>(object);
    apply(Field::SetupCounter, [&](const char *text) { module.setSetupCounter(number(text)); });
    apply(Field::State, [&](const char *text) { module.setState(number(text)); });
    if (kind_ != ObjKind::Manager)
      return;
    auto &manager = static_cast<ManagerObj &>(object);
    apply(Field::ManagedClass,
          [&](const char *text) { manager.setManagedClass(classes_(text).value_or(0)); });
    apply(Field::AggregateSetupCounter,
          [&](const char *text) { manager.setAggregateSetupCounter(number(text)); });
    apply(Field::CollectiveState,
          [&](const char *text) { manager.setCollectiveState(number(text)); });
    apply(Field::Capacity, [&](const char *text) { manager.setCapacity(number(text)); });
  }

  void element(pugi::xml_node node) {
    const FieldEntry *entry = findField(node.name());
    if (!entry || entry->field != Field::Element)
      return;
    const ElementBit bit = entry->bit;
    if (present_ & elementMask(bit))
      throw KSXmsg("Duplicate definition for element " + std::string(elementMessageName(bit)) +
                   "." + handleSuffix(object_->handle()));
    present_ |= elementMask(bit);
    if (!(objKindInfo(kind_).allowedElements & elementMask(bit)))
      return; // reported by finish()
    read(bit, node);
  }

  std::unique_ptr<ARXObj> finish() {
    // The first offending element in bit order is the one named.
    if (const uint32_t invalid = present_ & ~objKindInfo(kind_).allowedElements)
      throw KSXmsg(
          std::string(elementMessageName(static_cast<ElementBit>(std::countr_zero(invalid)))) +
          " is invalid element of " + std::string(objKindInfo(kind_).messageName) + ".");
    if (label_)
      object_->setLabel(label_);
    return std::move(object_);
  }

private:
  // Reads an element the kind allows, so the casts below cannot fail.
  void read(ElementBit bit, pugi::xml_node node) {
    using enum ElementBit;
    ARXObj &object = *object_;
    switch (bit) {
    case Comment:
      object.setComment(node.child_value());
      break;
    case Descriptors:
      object.setDescriptors(textList(node, "t:D"));
      break;
    case SecurityLevels:
      object.setSecurityLevels(securityLevels(node));
      break;
    case InputHandles:
    case OutputHandles:
    case SetupHandles:
    case InputClasses:
    case UpdateCounter:
    case UpdatePeriod:
    case InputNames:
      readModule(bit, node, static_cast<ModuleObj &>(object));
      break;
    case BoundsOptions:
      static_cast<BoundedObj &>(object).setBounds(
          Bounds{std::strtod(node.attribute("t:LB").value(), nullptr),
                 std::strtod(node.attribute("t:UB").value(), nullptr)});
      break;
    case EnumOptions: {
      Enumerations options;
      for (pugi::xml_node entry : node.children())
        if (named(entry, "t:E"))
          options.emplace_back(entry.attribute("t:EV").value());
      static_cast<EnumObj &>(object).setOptions(std::move(options));
      break;
    }
    case AllowedClasses: {
      std::vector<uint32_t> list;
      appendClasses(list, node, "t:CI");
      static_cast<AddressRegisterObj &>(object).setAllowedClasses(std::move(list));
      break;
    }
    case BoolNames:
      static_cast<BoolObj &>(object).setNames(boolTexts(node));
      break;
    case BoolLabels:
      static_cast<BoolObj &>(object).setLabels(boolTexts(node));
      break;
    default:
      readRegister(bit, node, static_cast<RegisterObj &>(object));
      break;
    }
  }

  static SecurityLevels securityLevels(pugi::xml_node node) {
    SecurityLevels levels;
    for (pugi::xml_node entry : node.children()) {
      if (!named(entry, "t:Se"))
        continue;
      const char *method = entry.attribute("t:M").value();
      auto number = methodNumber(method, CaseSensitivity::Ignore);
      if (!number && *method >= '0' && *method <= '9')
        number = arxmod::number(method);
      if (number)
        levels[*number] = arxmod::number(entry.attribute("t:Lv").value());
    }
    return levels;
  }

  static void readModule(ElementBit bit, pugi::xml_node node, ModuleObj &module) {
    using enum ElementBit;
    switch (bit) {
    case InputHandles: {
      std::vector<CompleteObjectHandle> inputs;
      for (pugi::xml_node entry : node.children())
        if (named(entry, "t:CH"))
          inputs.push_back(
              {number(entry.attribute("t:H").value()), entry.attribute("t:Nd").value()});
      module.setInputs(std::move(inputs));
      break;
    }
    case OutputHandles:
      module.setOutputs(handleList(node));
      break;
    case SetupHandles:
      module.setSetups(handleList(node));
      break;
    case InputClasses: {
      InputClassesList list;
      for (pugi::xml_node block : node.children()) {
        if (!named(block, "t:B"))
          continue;
        std::vector<uint32_t> inner{number(block.attribute("t:SR").value()),
                                    number(block.attribute("t:ER").value()),
                                    inputTypeNumber(block.attribute("t:LT").value()).value_or(0)};
        appendClasses(inner, block, "t:C");
        list.push_back(std::move(inner));
      }
      module.setInputClasses(std::move(list));
      break;
    }
    case UpdateCounter:
      module.setUpdateCounter(number(node));
      break;
    case UpdatePeriod:
      module.setUpdatePeriod(node.child_value());
      break;
    default: // InputNames
      module.setInputNames(textList(node, "t:NI"));
      break;
    }
  }

  void readRegister(ElementBit bit, pugi::xml_node node, RegisterObj &reg) {
    using enum ElementBit;
    switch (bit) {
    case Value:
      reg.setValueText(node.child_value());
      break;
    case Time:
      reg.setTime(number(node));
      break;
    case Depth:
      static_cast<ArrayRegisterObj &>(reg).setDepth(number(node));
      break;
    case Rollover:
      static_cast<ArrayRegisterObj &>(reg).setRollover(number(node));
      break;
    case Position:
      static_cast<LogRegisterObj &>(reg).setPosition(number(node));
      break;
    case AlarmRollover:
      static_cast<EventLogRegisterObj &>(reg).setAlarmRollover(number(node));
      break;
    default:
      readCalendar(bit, node, static_cast<CalendarObj &>(reg));
      break;
    }
  }

  static void readCalendar(ElementBit bit, pugi::xml_node node, CalendarObj &calendar) {
    using enum ElementBit;
    switch (bit) {
    case ActivityDepth:
      calendar.setActivityDepth(number(node));
      break;
    case CalendarValue:
      calendar.setCalendarValue(node.child_value());
      break;
    case ProfileValue:
      calendar.setProfileValue(node.child_value());
      break;
    case ProfileNames:
      calendar.setProfileNames(node.child_value());
      break;
    default: // ProfileLabels
      calendar.setProfileLabels(node.child_value());
      break;
    }
  }

  ObjKind kind_;
  std::unique_ptr<ARXObj> object_;
  ClassNumbers &classes_;
  const char *label_ = nullptr;
  uint32_t present_ = 0; // ElementBit mask
};

// The next element after `node` in document order, staying inside `root`.
pugi::xml_node nextInDocument(pugi::xml_node node, pugi::xml_node root) {
  if (pugi::xml_node child = node.first_child())
    return child;
  while (node && node != root) {
    if (pugi::xml_node sibling = node.next_sibling())
      return sibling;
    node = node.parent();
  }
  return {};
}

// Reads every t:ARX element of a document in document order, each object
// inserted before those nested in it. The walk keeps its own stack, so a
// deeply nested hostile document cannot exhaust the call stack, and visits
// each node once: the children of an object element are looked at while the
// object is read, and only those that are objects themselves or hold
// further elements are walked afterwards.
class ObjectReader {
public:
  IRefPtr<ObjList> read(pugi::xml_node root) {
    pending_.push_back({root.first_child(), true});
    while (!pending_.empty()) {
      Pending &top = pending_.back();
      const pugi::xml_node node = top.node;
      if (!node || !top.siblings)
        pending_.pop_back();
      else
        top.node = node.next_sibling();
      if (!node || node.type() != pugi::node_element)
        continue;
      if (named(node, "t:ARX"))
        readObject(node);
      else if (pugi::xml_node child = node.first_child())
        pending_.push_back({child, true});
    }
    return objects_;
  }

private:
  // A node to visit, and with `siblings` every sibling that follows it.
  struct Pending {
    pugi::xml_node node;
    bool siblings;
  };

  void readObject(pugi::xml_node element) {
    const AttributeTexts texts(element);
    const char *kindName = texts[Field::Kind];
    if (!kindName || !*kindName)
      throw KSXmsg("Found a node that is not recognized as an ARX definition.");
    const auto kind = objKindByName(kindName);
    if (!kind) { // not an object, but objects may be nested in it
      if (pugi::xml_node child = element.first_child())
        pending_.push_back({child, true});
      return;
    }
    ObjectBuilder builder(*kind, classes_);
    builder.attributes(texts);
    const size_t walkAfter = pending_.size();
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element)
        continue;
      if (named(child, "t:ARX")) {
        pending_.push_back({child, false});
        continue;
      }
      builder.element(child);
      if (pugi::xml_node grandchild = child.first_child())
        pending_.push_back({grandchild, true});
    }
    // Pushed in document order; the walk takes the last first.
    std::reverse(pending_.begin() + static_cast<std::ptrdiff_t>(walkAfter), pending_.end());
    std::unique_ptr<ARXObj> object = builder.finish();
    const uint32_t handle = object->handle();
    if (!objects_->insert(std::move(object)))
      throw KSXmsg("Duplicate definition for handle." + handleSuffix(handle));
  }

  IRefPtr<ObjList> objects_ = makeRef<ObjList>();
  ClassNumbers classes_;
  std::vector<Pending> pending_;
};

std::string_view defaultNamespace(pugi::xml_node element) {
  for (pugi::xml_node node = element; node; node = node.parent())
    if (pugi::xml_attribute xmlns = node.attribute("xmlns"))
      return xmlns.value();
  return {};
}

} // namespace

pugi::xml_node findTreeElement(const pugi::xml_document &document) {
  for (pugi::xml_node node = document.first_child(); node; node = nextInDocument(node, document))
    if (node.type() == pugi::node_element && named(node, "XMLARXTree"))
      return node;
  return {};
}

IRefPtr<ObjList> readXmlTree(pugi::xml_node treeElement) {
  const std::string_view uri = defaultNamespace(treeElement);
  if (uri == kTextFormNamespace)
    return parseTextTree(treeElement.child_value());
  if (uri != kElementFormNamespace)
    return nullptr;
  return ObjectReader().read(treeElement.root());
}

} // namespace arxmod
