// Class kinds of tree objects: an object is of the kind of class C when C
// is its class or an ancestor of it in the protocol's class hierarchy, so
// the Numeric_Register kind is classes 23, 24 and 25 but not 26
// (Pulse_Register), and the String_Register kind is 47 and 22
// (Enumerated_Register). A handle without object counts as class 1.
#pragma once

#include "tree/ARXObj.h"
#include "tree/ClassTable.h"

#include <cstdint>

namespace XLARX {

inline constexpr uint32_t kBooleanRegisterClass = 21;
inline constexpr uint32_t kNumericRegisterClass = 23;
inline constexpr uint32_t kStringRegisterClass = 47;

inline bool isOfKind(const arxmod::ARXObj *object, uint32_t kind) {
  return arxmod::classIsA(object ? object->classNumber() : arxmod::kClassARX, kind);
}

} // namespace XLARX
