// SampleTree: a small tree with one object of every kind and every optional
// attribute set, the fixture of the round-trip tests.
#pragma once

#include "tree/ObjList.h"

#include <string>

namespace arxmod::test {

// Handles: 2 device root module, 3 manager, 0x100 Minimum module owning
// registers 0x101..0x10B, 0x200 a second module sharing output 0x101.
IRefPtr<ObjList> makeSampleTree();

// Every attribute of every object, one line each, for comparisons that
// should not depend on either file form.
std::string describe(const ObjList &objects);

} // namespace arxmod::test
