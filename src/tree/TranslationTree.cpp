// TranslationTree: the locked look-ups.
#include "tree/TranslationTree.h"

namespace arxmod {

const ARXObj *TranslationTree::find(uint32_t handle) const {
  std::lock_guard guard(objects_->lock());
  return objects_->find(handle);
}

bool TranslationTree::contains(uint32_t handle) const {
  std::lock_guard guard(objects_->lock());
  return objects_->contains(handle);
}

size_t TranslationTree::count() const {
  std::lock_guard guard(objects_->lock());
  return objects_->count();
}

std::string TranslationTree::revision() const {
  std::lock_guard guard(objects_->lock());
  return objects_->revision();
}

} // namespace arxmod
