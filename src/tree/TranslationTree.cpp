// TranslationTree: the locked look-ups.
#include "tree/TranslationTree.h"

#include <shared_mutex>

namespace arxmod {

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
