// ObjList: the dictionary and its sizing.
#include "tree/ObjList.h"

#include <algorithm>

namespace arxmod {

ObjList::ObjList() { rehash(kInitialBuckets); }

ARXObj *ObjList::find(uint32_t handle) const {
  for (uint32_t at = heads_[bucketOf(handle)]; at != kNoEntry; at = entries_[at].next)
    if (entries_[at].handle == handle)
      return entries_[at].object.get();
  return nullptr;
}

bool ObjList::insert(std::unique_ptr<ARXObj> object) {
  const uint32_t handle = object->handle();
  if (find(handle))
    return false;
  // Chains stay about one entry long: the table doubles when it holds as
  // many entries as buckets.
  if (entries_.size() >= heads_.size())
    rehash(2 * heads_.size() + 1);
  object->setOwner(this);
  uint32_t &first = heads_[bucketOf(handle)];
  entries_.push_back({handle, first, std::move(object)});
  first = static_cast<uint32_t>(entries_.size() - 1);
  return true;
}

void ObjList::sizeForCount() {
  const size_t buckets = std::max(bucketCountFor(count()), heads_.size());
  if (buckets != heads_.size())
    rehash(buckets);
}

void ObjList::rehash(size_t buckets) {
  heads_.assign(std::max<size_t>(buckets, 1), kNoEntry);
  for (uint32_t at = 0; at < entries_.size(); ++at) {
    uint32_t &first = heads_[bucketOf(entries_[at].handle)];
    entries_[at].next = first;
    first = at;
  }
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
  order.reserve(entries_.size());
  for (const Entry &entry : entries_)
    order.push_back(entry.object.get());
  std::sort(order.begin(), order.end(), [&](const ARXObj *a, const ARXObj *b) {
    const int ga = group(a), gb = group(b);
    return ga != gb ? ga < gb : a->handle() < b->handle();
  });
  return order;
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
