// XLARX::Translator: the object-protocol level of the translator chain.
//
// It sits on the generic pass loop (XL::Translator) and dispatches each
// request on the type of the node message its envelope carries: programs
// and channel messages, time messages, password changes, and everything
// else, which needs no device work and is answered with the request's own
// node message and a "bad packet" status. The lower levels of the chain
// override the per-type operations; at this level a program cannot be
// answered ("Not supported").
#pragma once

#include "frame/ARXTransaction.h"
#include "frame/Translator.h"

#include <memory>

namespace XLARX {

// Node message type codes the dispatch distinguishes.
inline constexpr uint8_t kProgramMessageType = 0;
inline constexpr uint8_t kTimeMessageType = 16;
inline constexpr uint8_t kTimeMessageFullType = 17;
inline constexpr uint8_t kChannelMessageType = 24;
inline constexpr uint8_t kChangePasswordType = 31;

class Translator : public XL::Translator {
public:
  void prepare(const arxmod::IRefPtr<XL::Request> &request, XL::Transaction &transaction,
               arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  arxmod::IRefPtr<XL::Response> makeResponse(const arxmod::IRefPtr<XL::Request> &request) override;

  virtual void prepareProgram(const arxmod::IRefPtr<XL::Request> & /*request*/,
                              XL::Transaction & /*transaction*/,
                              arxmod::IRefPtr<XL::Transaction> & /*subTransaction*/) {}
  virtual void prepareChangePassword(const arxmod::IRefPtr<XL::Request> &request,
                                     XL::Transaction &transaction,
                                     arxmod::IRefPtr<XL::Transaction> &subTransaction);
  virtual void prepareTimeMessage(const arxmod::IRefPtr<XL::Request> &request,
                                  XL::Transaction &transaction,
                                  arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // Marks the empty request (the end of the pass) handled.
  virtual void endOfPass(XL::Transaction &transaction,
                         arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // A reply envelope (addresses swapped, flag bit 0 cleared, bit 5 set)
  // around `nodeMessage`, in a response with `status`.
  virtual arxmod::IRefPtr<XL::Response> makeAnswer(const arxmod::ENVL_Header &header,
                                                   std::unique_ptr<arxmod::NodeMessage> nodeMessage,
                                                   XL::ResponseStatus status);
  virtual arxmod::IRefPtr<XL::Response>
  makeProgramResponse(const arxmod::IRefPtr<XL::Request> &request);
  virtual arxmod::IRefPtr<XL::Response>
  makeChangePasswordResponse(const arxmod::IRefPtr<XL::Request> &request);

protected:
  // The request as an object-protocol request with a node message, else
  // KSXmsg "Bogus request".
  static const ARXRequest &arxRequest(const arxmod::IRefPtr<XL::Request> &request);
  static arxmod::NodeMessage &nodeMessageOf(const ARXRequest &request) {
    return *request.message()->nodeMessage();
  }
};

} // namespace XLARX
