// ARXObj, ModuleObj and ManagerObj: the objects of a device's tree that are
// not registers (registers are in RegisterObj.h).
//
// Objects are plain descriptions loaded from a tree file and read-only once
// their tree is assembled. Each is owned by the ObjList of its tree and
// keeps a non-owning pointer to it (the owner dictionary) so that a module
// can nest the registers it owns when it is written; clone() copies every
// attribute but not that pointer.
//
// Writing: writeText (text tree form) and writeElement (one XML t:ARX
// element) share a set of handles already written, so an object reached
// twice (a register that is output of two modules) is written in full once
// and as its handle afterwards. The per-kind parts are writeTextContent and
// writeElementContent, implemented in TextTreeWriter.cpp and
// XmlTreeWriter.cpp next to the readers of the same form.
#pragma once

#include "tree/ObjKind.h"
#include "types/CompleteObjectHandle.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace pugi {
class xml_node;
}

namespace arxmod {

class ObjList;

using HandleSet = std::unordered_set<uint32_t>;
// Method number -> security level.
using SecurityLevels = std::map<uint32_t, uint32_t>;
// Inner lists laid out as start of range, end of range, input type, then
// the allowed class numbers.
using InputClassesList = std::vector<std::vector<uint32_t>>;
using Enumerations = std::vector<std::string>;

// Input types of an input class list (its third entry).
enum class InputType : uint32_t {
  PreProgrammed = 0,
  LocalOnly = 1,
  LocalExtended = 2,
  ExtendedOnly = 3
};
std::optional<std::string_view> inputTypeName(uint32_t type);
std::optional<uint32_t> inputTypeNumber(std::string_view name);

class ARXObj {
public:
  ARXObj() = default;
  ARXObj(uint32_t handle, uint32_t classNumber, uint32_t parent, std::string name);
  virtual ~ARXObj() = default;
  ARXObj &operator=(const ARXObj &) = delete;

  virtual ObjKind kind() const { return ObjKind::ARX; }
  std::string_view kindName() const { return objKindInfo(kind()).kindName; }
  // A deep copy without the owner dictionary.
  virtual std::unique_ptr<ARXObj> clone() const;

  uint32_t handle() const { return handle_; }
  void setHandle(uint32_t handle) { handle_ = handle; }
  uint32_t classNumber() const { return classNumber_; }
  void setClassNumber(uint32_t number) { classNumber_ = number; }
  uint32_t parent() const { return parent_; }
  void setParent(uint32_t parent) { parent_ = parent; }
  const std::string &name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  // Absent when no label was set or the label equals the name: the label
  // rule keeps only labels that differ from names, so set the name first.
  const std::optional<std::string> &label() const { return rare_ ? rare_->label : kNoText; }
  void setLabel(std::optional<std::string> label);
  const std::optional<SecurityLevels> &securityLevels() const {
    return rare_ ? rare_->securityLevels : kNoSecurityLevels;
  }
  void setSecurityLevels(std::optional<SecurityLevels> levels) {
    setRare(&Rare::securityLevels, std::move(levels));
  }
  const std::optional<std::string> &comment() const { return rare_ ? rare_->comment : kNoText; }
  void setComment(std::optional<std::string> comment) {
    setRare(&Rare::comment, std::move(comment));
  }
  const std::optional<std::vector<std::string>> &descriptors() const {
    return rare_ ? rare_->descriptors : kNoTextList;
  }
  void setDescriptors(std::optional<std::vector<std::string>> list) {
    setRare(&Rare::descriptors, std::move(list));
  }

  ObjList *owner() const { return owner_; }
  void setOwner(ObjList *owner) { owner_ = owner; }

  // Text tree block: the opening line, then the statements; an object
  // already in `written` is written as its handle alone (a manager not at all).
  void writeText(std::ostream &out, int indent, HandleSet &written) const;
  // The "saved_as_..." line that opens this object's text block.
  void writeSavedAs(std::ostream &out, int indent) const;
  // One t:ARX element under `parent`. Callers pass objects not yet written.
  void writeElement(pugi::xml_node parent, HandleSet &written) const;

protected:
  // Attributes that most objects of a tree do not have, kept apart so that
  // an object without any of them carries a null pointer instead of their
  // empty forms (a tree holds tens of thousands of objects).
  struct Rare {
    std::optional<std::string> label;
    std::optional<SecurityLevels> securityLevels;
    std::optional<std::string> comment;
    std::optional<std::vector<std::string>> descriptors;
    std::optional<std::string> structuredValue; // registers only
  };
  static const std::optional<std::string> kNoText;
  static const std::optional<SecurityLevels> kNoSecurityLevels;
  static const std::optional<std::vector<std::string>> kNoTextList;

  ARXObj(const ARXObj &other);

  const Rare *rare() const { return rare_.get(); }
  // Stores a rare attribute; an absent value does not allocate the part.
  template <typename T> void setRare(std::optional<T> Rare::*member, std::optional<T> value) {
    if (!value && !rare_)
      return;
    if (!rare_)
      rare_ = std::make_unique<Rare>();
    (*rare_).*member = std::move(value);
  }

  virtual void writeTextContent(std::ostream &out, int indent, HandleSet &written) const;
  virtual void writeElementContent(pugi::xml_node element, HandleSet &written) const;

private:
  // Ordered so that the handles fill the end of the object, where a derived
  // class's first number can share their last eight bytes.
  std::string name_;
  std::unique_ptr<Rare> rare_; // null: none of the rare attributes
  ObjList *owner_ = nullptr;   // not owned; never copied
  uint32_t handle_ = 0;
  uint32_t classNumber_ = 0;
  uint32_t parent_ = 0; // a module's manager, a register's module
};

class ModuleObj : public ARXObj {
public:
  using ARXObj::ARXObj;
  ObjKind kind() const override { return ObjKind::Module; }
  std::unique_ptr<ARXObj> clone() const override;

  uint32_t state() const { return state_; }
  void setState(uint32_t state) { state_ = state; }
  uint32_t setupCounter() const { return setupCounter_; }
  void setSetupCounter(uint32_t counter) { setupCounter_ = counter; }
  uint32_t updateCounter() const { return updateCounter_; }
  void setUpdateCounter(uint32_t counter) { updateCounter_ = counter; }
  const std::optional<std::string> &updatePeriod() const { return updatePeriod_; }
  void setUpdatePeriod(std::optional<std::string> period) { updatePeriod_ = std::move(period); }
  const std::optional<InputClassesList> &inputClasses() const { return inputClasses_; }
  void setInputClasses(std::optional<InputClassesList> list) { inputClasses_ = std::move(list); }
  const std::optional<std::vector<CompleteObjectHandle>> &inputs() const { return inputs_; }
  void setInputs(std::optional<std::vector<CompleteObjectHandle>> list) {
    inputs_ = std::move(list);
  }
  const std::optional<std::vector<uint32_t>> &outputs() const { return outputs_; }
  void setOutputs(std::optional<std::vector<uint32_t>> list) { outputs_ = std::move(list); }
  const std::optional<std::vector<uint32_t>> &setups() const { return setups_; }
  void setSetups(std::optional<std::vector<uint32_t>> list) { setups_ = std::move(list); }
  const std::optional<std::vector<std::string>> &inputNames() const { return inputNames_; }
  void setInputNames(std::optional<std::vector<std::string>> list) {
    inputNames_ = std::move(list);
  }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  uint32_t state_ = 0;
  uint32_t setupCounter_ = 0;
  uint32_t updateCounter_ = 0; // 0: none
  std::optional<std::string> updatePeriod_;
  std::optional<InputClassesList> inputClasses_;
  std::optional<std::vector<CompleteObjectHandle>> inputs_; // empty node: the device itself
  std::optional<std::vector<uint32_t>> outputs_;
  std::optional<std::vector<uint32_t>> setups_;
  std::optional<std::vector<std::string>> inputNames_; // one per input
};

class ManagerObj : public ModuleObj {
public:
  using ModuleObj::ModuleObj;
  ObjKind kind() const override { return ObjKind::Manager; }
  std::unique_ptr<ARXObj> clone() const override;

  uint32_t managedClass() const { return managedClass_; }
  void setManagedClass(uint32_t number) { managedClass_ = number; }
  uint32_t aggregateSetupCounter() const { return aggregateSetupCounter_; }
  void setAggregateSetupCounter(uint32_t counter) { aggregateSetupCounter_ = counter; }
  uint32_t capacity() const { return capacity_; }
  void setCapacity(uint32_t capacity) { capacity_ = capacity; }
  uint32_t collectiveState() const { return collectiveState_; }
  void setCollectiveState(uint32_t state) { collectiveState_ = state; }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  uint32_t managedClass_ = 0;
  uint32_t aggregateSetupCounter_ = 0; // 0: none
  uint32_t capacity_ = 0;
  uint32_t collectiveState_ = 0;
};

// A new object of `kind` with default attributes (what the readers build on).
std::unique_ptr<ARXObj> makeObj(ObjKind kind);

} // namespace arxmod
