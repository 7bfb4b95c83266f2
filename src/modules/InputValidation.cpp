// The input check of the validating virtual modules.
#include "modules/InputValidation.h"

#include "modules/ModuleBase.h"
#include "tree/ClassTable.h"
#include "tree/ModuleLabels.h"
#include "tree/TreeFormat.h"

#include <algorithm>

namespace XLARX {

using arxmod::handleText;

namespace {

// The classes the module's input classes allow for input n; empty when
// they name none.
std::vector<uint32_t> allowedClasses(const arxmod::ModuleObj &module, size_t n) {
  std::vector<uint32_t> allowed;
  if (!module.inputClasses())
    return allowed;
  for (const std::vector<uint32_t> &list : *module.inputClasses()) {
    const arxmod::InputClassLayout layout = arxmod::inputClassLayout(list);
    if (layout.start <= n && n <= layout.end)
      allowed.insert(allowed.end(), layout.classes.begin(), layout.classes.end());
  }
  return allowed;
}

bool classAllowed(uint32_t classNumber, const std::vector<uint32_t> &allowed) {
  return allowed.empty() || std::any_of(allowed.begin(), allowed.end(), [&](uint32_t ancestor) {
           return arxmod::classIsA(classNumber, ancestor);
         });
}

void checkInputHandle(const arxmod::ModuleObj &module, size_t n, const InputLayout &layout,
                      const arxmod::TreeReader &tree) {
  const arxmod::CompleteObjectHandle &input = (*module.inputs())[n];
  const std::string where =
      " for " + module.name() + " module handle " + handleText(module.handle()) + ".";
  if (input.handle == 0) {
    if (std::find(layout.required.begin(), layout.required.end(), n) != layout.required.end())
      throw ModuleInvalid("Required input handles missing" + where.substr(0, where.size() - 1));
    return;
  }
  const std::string handle = handleText(input.handle) + ".";
  // An input of another node is not in this device's tree.
  const arxmod::ARXObj *object = input.node.empty() ? tree.find(input.handle) : nullptr;
  if (!object)
    throw ModuleInvalid("Input handle not found in ARX tree" + where + " Missing handle " + handle);
  if (!dynamic_cast<const arxmod::RegisterObj *>(object))
    throw ModuleInvalid("Input linked to invalid ARX class" + where + " Bad handle " + handle);
  if (!classAllowed(object->classNumber(), allowedClasses(module, n)))
    throw ModuleInvalid("Input linked to invalid ARX register type" + where + " Bad handle " +
                        handle);
}

} // namespace

bool checkModuleInputs(const arxmod::ARXObj *object, const InputLayout &layout,
                       const arxmod::TreeReader &tree) {
  const auto *module = dynamic_cast<const arxmod::ModuleObj *>(object);
  if (!module || !module->inputNames() || !module->inputs())
    return false;
  const size_t expected = layout.registerNumbers.size();
  if (module->inputNames()->size() != expected || module->inputs()->size() != expected)
    return false;
  for (size_t n = 0; n < expected; ++n) {
    std::string_view label;
    try {
      label = arxmod::registerLabel(module->classNumber(), layout.registerNumbers[n]);
    } catch (const arxmod::LabelLookupError &) {
      return false;
    }
    if ((*module->inputNames())[n] != label)
      throw ModuleInvalid("Invalid input name for " + module->name() + ".  Should be " +
                          std::string(label));
    checkInputHandle(*module, n, layout, tree);
  }
  return true;
}

} // namespace XLARX
