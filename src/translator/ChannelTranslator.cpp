// Answers channel messages and refuses every other node message.
#include "translator/ChannelTranslator.h"

#include "base/KSXmsg.h"
#include "frame/ARXTransaction.h"

#include <string>

namespace XLARX {
namespace {

constexpr uint8_t kChannelMessageType = 24;

const ARXRequest &requireARXRequest(const arxmod::IRefPtr<XL::Request> &request) {
  auto *arx = dynamic_cast<const ARXRequest *>(request.get());
  if (!arx || !arx->message() || !arx->message()->nodeMessage())
    throw arxmod::KSXmsg("Bogus request");
  return *arx;
}

} // namespace

void ChannelTranslator::prepare(const arxmod::IRefPtr<XL::Request> &request,
                                XL::Transaction & /*transaction*/,
                                arxmod::IRefPtr<XL::Transaction> & /*subTransaction*/) {
  if (request) {
    const unsigned type = requireARXRequest(request).message()->nodeMessage()->typeCode();
    if (type != kChannelMessageType)
      throw arxmod::KSXmsg("Node message type " + std::to_string(type) +
                           " is not supported by this translator");
  }
  markHandled(request);
}

arxmod::IRefPtr<XL::Response>
ChannelTranslator::makeResponse(const arxmod::IRefPtr<XL::Request> &request) {
  return arxmod::makeRef<ARXResponse>(requireARXRequest(request).message(), XL::ResponseBadPacket);
}

arxmod::IRefPtr<XL::Engine> makeChannelTranslator(XL::Transaction & /*transaction*/,
                                                  uint32_t /*deviceId*/) {
  return arxmod::makeRef<ChannelTranslator>();
}

} // namespace XLARX
