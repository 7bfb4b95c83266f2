// TreeFixture: a tree translator over the DeviceTree fixture, without the
// FileManager, whose mapped level and device preparation tests can script.
#pragma once

#include "DeviceTree.h"
#include "translator/TreeTranslator.h"

#include <functional>

namespace arxmod::test {

class TreeFixture : public XLARX::TreeTranslator {
public:
  using Mapped = std::function<PICType *(uint32_t handle, uint32_t method, PICType *argument)>;
  // Answers prepareInvocation; may set the status through the second argument.
  using Preparation = std::function<bool(uint32_t handle, TreeFixture &self)>;

  IRefPtr<TranslationTree> tree() override { return tree_; }
  PICType *invokeMapped(uint32_t handle, uint32_t method, PICType *argument) override {
    return mapped ? mapped(handle, method, argument) : nullptr;
  }
  bool prepareInvocation(uint32_t handle, uint32_t, PICType *, XL::Transaction &,
                         IRefPtr<XL::Transaction> &) override {
    ++preparations;
    return preparation ? preparation(handle, *this) : true;
  }
  void handleResponse(const IRefPtr<XL::Request> &, const IRefPtr<XL::Response> &) override {}
  void failExchanges(XL::ResponseStatus status) { setStatus(status); }

  void dropTree() { tree_.reset(); }

  Mapped mapped;
  Preparation preparation;
  int preparations = 0;

private:
  IRefPtr<TranslationTree> tree_ = makeRef<TranslationTree>(makeDeviceTree());
};

} // namespace arxmod::test
