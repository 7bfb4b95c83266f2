// XLARX::TreeOnlyTranslator: the device translator while no level maps
// handles onto the meter. Every invocation is answered from the device's
// tree; no device traffic is ever prepared.
//
// The tree is fetched from the FileManager once per Process call, on first
// use, and held for the rest of the call, so a tree replaced meanwhile does
// not change the answer of one program halfway.
#pragma once

#include "translator/TreeTranslator.h"

namespace XLARX {

class TreeOnlyTranslator : public TreeTranslator {
public:
  explicit TreeOnlyTranslator(uint32_t deviceId) : deviceId_(deviceId) {}

  arxmod::IRefPtr<arxmod::TranslationTree> tree() override;
  arxmod::PICType *invokeMapped(uint32_t /*handle*/, uint32_t /*method*/,
                                arxmod::PICType * /*argument*/) override {
    return nullptr;
  }
  bool prepareInvocation(uint32_t /*handle*/, uint32_t /*method*/, arxmod::PICType * /*argument*/,
                         XL::Transaction & /*transaction*/,
                         arxmod::IRefPtr<XL::Transaction> & /*subTransaction*/) override {
    return true;
  }
  // No sub-transaction is ever built, so no response comes back.
  void handleResponse(const arxmod::IRefPtr<XL::Request> & /*request*/,
                      const arxmod::IRefPtr<XL::Response> & /*response*/) override {}
  void begin(XL::Transaction &transaction) override;

private:
  uint32_t deviceId_;
  arxmod::IRefPtr<arxmod::TranslationTree> tree_;
};

// The device translator maker installed by the plug-in.
arxmod::IRefPtr<XL::Engine> makeTreeOnlyTranslator(XL::Transaction &transaction, uint32_t deviceId);

} // namespace XLARX
