// XLARX::Translator: dispatch on the node message type, and the answers
// that need no program execution.
#include "translator/ARXTranslator.h"

#include "base/KSXmsg.h"
#include "messages/SimpleMessages.h"

namespace XLARX {

using arxmod::IRefPtr;

const ARXRequest &Translator::arxRequest(const IRefPtr<XL::Request> &request) {
  const auto *arx = dynamic_cast<const ARXRequest *>(request.get());
  // An envelope whose node message could not be decoded is no request either.
  if (!arx || !arx->message() || !arx->message()->nodeMessage())
    throw arxmod::KSXmsg("Bogus request");
  return *arx;
}

void Translator::prepare(const IRefPtr<XL::Request> &request, XL::Transaction &transaction,
                         IRefPtr<XL::Transaction> &subTransaction) {
  if (!request) {
    endOfPass(transaction, subTransaction);
    return;
  }
  switch (nodeMessageOf(arxRequest(request)).typeCode()) {
  case kProgramMessageType:
  case kChannelMessageType:
    prepareProgram(request, transaction, subTransaction);
    break;
  case kTimeMessageType:
  case kTimeMessageFullType:
    prepareTimeMessage(request, transaction, subTransaction);
    break;
  case kChangePasswordType:
    prepareChangePassword(request, transaction, subTransaction);
    break;
  default:
    markHandled(request);
  }
}

void Translator::prepareChangePassword(const IRefPtr<XL::Request> &request,
                                       XL::Transaction & /*transaction*/,
                                       IRefPtr<XL::Transaction> & /*subTransaction*/) {
  markHandled(request);
}

void Translator::prepareTimeMessage(const IRefPtr<XL::Request> &request,
                                    XL::Transaction & /*transaction*/,
                                    IRefPtr<XL::Transaction> & /*subTransaction*/) {
  markHandled(request);
}

void Translator::endOfPass(XL::Transaction & /*transaction*/,
                           IRefPtr<XL::Transaction> & /*subTransaction*/) {
  markHandled(IRefPtr<XL::Request>());
}

IRefPtr<XL::Response> Translator::makeResponse(const IRefPtr<XL::Request> &request) {
  const ARXRequest &arx = arxRequest(request);
  arxmod::NodeMessage &message = nodeMessageOf(arx);
  switch (message.typeCode()) {
  case kProgramMessageType:
  case kChannelMessageType:
    return makeProgramResponse(request);
  case kTimeMessageType:
  case kTimeMessageFullType:
    throw arxmod::KSXmsg("Response not applicable");
  case kChangePasswordType:
    return makeChangePasswordResponse(request);
  default:
    return makeAnswer(arx.message()->header(), message.copy(), XL::ResponseBadPacket);
  }
}

IRefPtr<XL::Response> Translator::makeAnswer(const arxmod::ENVL_Header &header,
                                             std::unique_ptr<arxmod::NodeMessage> nodeMessage,
                                             XL::ResponseStatus status) {
  return arxmod::makeRef<ARXResponse>(
      arxmod::ENVLMessage::makeReply(header, std::move(nodeMessage)), status);
}

IRefPtr<XL::Response> Translator::makeProgramResponse(const IRefPtr<XL::Request> & /*request*/) {
  throw arxmod::KSXmsg("Not supported");
}

IRefPtr<XL::Response> Translator::makeChangePasswordResponse(const IRefPtr<XL::Request> &request) {
  return makeAnswer(arxRequest(request).message()->header(),
                    std::make_unique<arxmod::ChangePasswordMessage>(), XL::ResponseBadPacket);
}

} // namespace XLARX
