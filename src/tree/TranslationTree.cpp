// TranslationTree: the creation stamp and the locked look-ups.
#include "tree/TranslationTree.h"

#include <atomic>
#include <shared_mutex>

namespace arxmod {

TranslationTree::TranslationTree(IRefPtr<ObjList> objects) : objects_(std::move(objects)) {
  static std::atomic<uint64_t> lastStamp{0};
  creationStamp_ = lastStamp.fetch_add(1, std::memory_order_relaxed) + 1;
}

const ARXObj *TranslationTree::find(uint32_t handle) const {
  std::shared_lock guard(objects_->lock());
  return objects_->find(handle);
}

bool TranslationTree::contains(uint32_t handle) const {
  std::shared_lock guard(objects_->lock());
  return objects_->contains(handle);
}

size_t TranslationTree::count() const {
  std::shared_lock guard(objects_->lock());
  return objects_->count();
}

std::string TranslationTree::revision() const {
  std::shared_lock guard(objects_->lock());
  return objects_->revision();
}

} // namespace arxmod
