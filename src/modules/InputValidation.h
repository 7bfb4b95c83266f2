// The input check that the validating virtual modules share.
//
// A module class expects a fixed list of inputs, each named after one of
// the class's register labels (ModuleLabels.h): a Minimum module has 16
// inputs labelled "Source", then "Enable" and "Reset". The check, in order:
//   1. the object is a module with as many input names and inputs as the
//      class expects (else the answer is false: the caller raises its own
//      "Invalid module configuration ..." message);
//   2. input n's name equals its label: "Invalid input name for <module
//      name>.  Should be <label>";
//   3. an input with a handle names a register of this device's tree, of a
//      class the module's input classes allow for input n (a range of
//      inputs counted from 0 with their classes, descendants included);
//      an input that must have a handle has one.
// Steps 2 and 3 raise ModuleInvalid with the texts in InputValidation.cpp.
#pragma once

#include "tree/ARXObj.h"
#include "tree/TranslationTree.h"

#include <cstdint>
#include <span>

namespace XLARX {

struct InputLayout {
  // The class's register number of each input, in input order.
  std::span<const uint32_t> registerNumbers;
  // Inputs that must have a handle.
  std::span<const size_t> required;
};

bool checkModuleInputs(const arxmod::ARXObj *object, const InputLayout &layout,
                       const arxmod::TreeReader &tree);

} // namespace XLARX
