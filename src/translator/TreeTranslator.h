// XLARX::TreeTranslator: answers invocations from the device's object tree.
//
// An invocation goes first to invokeMapped (the levels that know how the
// device's registers map onto the meter); what they do not answer is
// answered from the tree by the method invoker. The object is looked up and
// read under the tree's lock, so a tree that another thread merges or walks
// is never read half-changed.
#pragma once

#include "translator/ARXMethodInvoker.h"
#include "translator/ARXProgramTranslator.h"
#include "tree/TranslationTree.h"

namespace XLARX {

class TreeTranslator : public ARXProgramTranslator, public ARXMethodInvoker {
public:
  // The device's tree; may be empty.
  virtual arxmod::IRefPtr<arxmod::TranslationTree> tree() = 0;
  // The answer of the mapped levels, or nullptr when they have none.
  virtual arxmod::PICType *invokeMapped(uint32_t handle, uint32_t method,
                                        arxmod::PICType *argument) = 0;
  // The answer from the tree: code 9 for a handle the tree lacks. Raises
  // KSXmsg "No tree" when the device has none.
  virtual arxmod::PICType *invokeTree(uint32_t handle, uint32_t method, arxmod::PICType *argument);

  arxmod::PICType *invoke(uint32_t handle, uint32_t method, arxmod::PICType *argument) override;
};

} // namespace XLARX
