// addObject: builds fixture trees object by object.
#pragma once

#include "tree/ObjList.h"

#include <memory>
#include <string>

namespace arxmod::test {

// Inserts a new T into `list` and returns it, so the test can set its attributes.
template <typename T>
T &addObject(ObjList &list, uint32_t handle, uint32_t classNumber, uint32_t parent,
             const std::string &name) {
  auto object = std::make_unique<T>(handle, classNumber, parent, name);
  T &added = *object;
  list.insert(std::move(object));
  return added;
}

} // namespace arxmod::test
