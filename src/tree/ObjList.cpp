// ObjList: the dictionary and its sizing.
#include "tree/ObjList.h"

#include <algorithm>

namespace arxmod {

ObjList::ObjList() {
  objects_.rehash(kInitialBuckets);
}

ARXObj *ObjList::find(uint32_t handle) const {
  auto it = objects_.find(handle);
  return it == objects_.end() ? nullptr : it->second.get();
}

bool ObjList::insert(std::unique_ptr<ARXObj> object) {
  const uint32_t handle = object->handle();
  auto [it, inserted] = objects_.try_emplace(handle, std::move(object));
  if (inserted)
    it->second->setOwner(this);
  return inserted;
}

std::vector<const ARXObj *> ObjList::writeOrder() const {
  auto group = [](const ARXObj *object) {
    if (object->handle() == 2)
      return 0;
    if (object->kind() == ObjKind::Manager)
      return 1;
    return object->kind() == ObjKind::Module ? 2 : 3;
  };
  std::vector<const ARXObj *> order;
  order.reserve(objects_.size());
  for (const auto &[handle, object] : objects_)
    order.push_back(object.get());
  std::sort(order.begin(), order.end(), [&](const ARXObj *a, const ARXObj *b) {
    const int ga = group(a), gb = group(b);
    return ga != gb ? ga < gb : a->handle() < b->handle();
  });
  return order;
}

void ObjList::sizeForCount() {
  objects_.rehash(bucketCountFor(objects_.size()));
}

size_t bucketCountFor(size_t count) {
  struct Step {
    size_t atLeast;
    size_t buckets;
  };
  static constexpr Step kSteps[] = {{12001, 16001}, {8001, 10667}, {5001, 6673},
                                    {2501, 3331},   {1001, 1361},  {501, 673},
                                    {301, 401},     {151, 211},    {101, 137}};
  for (const Step &step : kSteps)
    if (count >= step.atLeast)
      return step.buckets;
  return 59;
}

} // namespace arxmod
