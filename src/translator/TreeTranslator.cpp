// XLARX::TreeTranslator: the tree look-up behind every invocation.
#include "translator/TreeTranslator.h"

#include "base/KSXmsg.h"
#include "types/StructureTypes.h"

#include <cstdio>
#include <shared_mutex>

namespace XLARX {

using arxmod::PICType;

PICType *TreeTranslator::invokeTree(uint32_t handle, uint32_t method, PICType *argument) {
  const arxmod::IRefPtr<arxmod::TranslationTree> deviceTree = tree();
  if (!deviceTree)
    throw arxmod::KSXmsg("No tree");
  const arxmod::ObjList &objects = *deviceTree->objects();
  PICType *result = nullptr;
  {
    std::shared_lock guard(objects.lock());
    if (const arxmod::ARXObj *object = objects.find(handle))
      result = invokeForClass(*object, method, argument);
    else {
      char text[32];
      std::snprintf(text, sizeof text, "Invalid object %x", handle);
      result = argument->blob().make<arxmod::ExceptionType>(9u, text);
    }
  }
  return result ? result : argument->blob().make<arxmod::ExceptionType>(3u, "Unknown error");
}

PICType *TreeTranslator::invoke(uint32_t handle, uint32_t method, PICType *argument) {
  if (PICType *mapped = invokeMapped(handle, method, argument))
    return mapped;
  return invokeTree(handle, method, argument);
}

} // namespace XLARX
