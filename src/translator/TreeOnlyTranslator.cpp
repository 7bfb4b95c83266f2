// XLARX::TreeOnlyTranslator: the tree of the device from the FileManager.
#include "translator/TreeOnlyTranslator.h"

#include "files/FileManager.h"

namespace XLARX {

void TreeOnlyTranslator::begin(XL::Transaction &transaction) {
  tree_.reset();
  TreeTranslator::begin(transaction);
}

arxmod::IRefPtr<arxmod::TranslationTree> TreeOnlyTranslator::tree() {
  if (!tree_)
    tree_ = arxmod::FileManager::instance().getTree(deviceId_);
  return tree_;
}

arxmod::IRefPtr<XL::Engine> makeTreeOnlyTranslator(XL::Transaction & /*transaction*/,
                                                   uint32_t deviceId) {
  return arxmod::makeRef<TreeOnlyTranslator>(deviceId);
}

} // namespace XLARX
