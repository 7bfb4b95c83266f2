// ChannelTranslator: the device translator until programs can be executed.
//
// It runs on the generic pass loop and answers what needs no device work:
// a channel message (XLUseChannelMessage) is answered with the request's own
// envelope, as every later translator does. Every other node message is
// refused with a KSXmsg naming its type, so a client learns at once that the
// request cannot be served rather than receiving an empty answer.
#pragma once

#include "frame/Translator.h"

namespace XLARX {

class ChannelTranslator : public XL::Translator {
public:
  void prepare(const arxmod::IRefPtr<XL::Request> &request, XL::Transaction &transaction,
               arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  void handleResponse(const arxmod::IRefPtr<XL::Request> & /*request*/,
                      const arxmod::IRefPtr<XL::Response> & /*response*/) override {}
  arxmod::IRefPtr<XL::Response> makeResponse(const arxmod::IRefPtr<XL::Request> &request) override;
};

arxmod::IRefPtr<XL::Engine> makeChannelTranslator(XL::Transaction &transaction, uint32_t deviceId);

} // namespace XLARX
